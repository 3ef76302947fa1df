// Process-wide state of one run, kept in one place so that tests can reset it.
//
// The converter is single-threaded. Option handling writes the settings once at the start of a
// run; every other unit only reads them. The run log and the message buffer are shared by every
// unit that reports. The memory counters live with the counted allocator
// (text/memory_counters.h), below every unit that allocates; reset_process_state resets them too.
#pragma once

#include <cstddef>
#include <cstdio>

#include "base/fill_observer.h"
#include "base/run_settings.h"
#include "text/file_handle.h"
#include "text/memory_counters.h"

namespace ruvo {

inline constexpr std::size_t kMessageBufferSize = 1024;

struct ProcessState {
  RunSettings settings;
  FilePtr run_log;  // none until the driver opens the log, and again after it closes it
  char message_buffer[kMessageBufferSize] = {};
  FillObserver* observer = nullptr;  // none in the converter (see base/fill_observer.h)
};

// The one mutable global of the program besides the memory counters.
extern ProcessState g_process;

// Puts every field, and the memory counters, back to their values at process start (closing an
// open log).
void reset_process_state();

inline RunSettings& run_settings() {
  return g_process.settings;
}
inline std::FILE* run_log() {
  return g_process.run_log.get();
}
inline char* message_buffer() {
  return g_process.message_buffer;
}
inline FillObserver* fill_observer() {
  return g_process.observer;
}

}  // namespace ruvo
