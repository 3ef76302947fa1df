// Process-wide state, kept in one place so that tests can reset it.
//
// Everything a run reads or reports to is handed to it: its settings, its log and its observer
// (base/run_environment.h). What stays process-wide is the message buffer that log messages are
// formatted into, and the memory counters beside the counted allocator
// (text/memory_counters.h), below every unit that allocates; reset_process_state resets both.
#pragma once

#include <cstddef>

#include "text/memory_counters.h"

namespace ruvo {

inline constexpr std::size_t kMessageBufferSize = 1024;

struct ProcessState {
  char message_buffer[kMessageBufferSize] = {};
};

// The one mutable global of the program besides the memory counters.
extern ProcessState g_process;

// Puts every field, and the memory counters, back to their values at process start.
void reset_process_state();

inline char* message_buffer() {
  return g_process.message_buffer;
}

}  // namespace ruvo
