// Process-wide state, kept in one place so that tests can reset it.
//
// Everything a run reads or reports to is handed to it: its settings, its log and its observer
// (base/run_environment.h). What stays process-wide is the message buffer that log messages are
// formatted into, and the memory counters beside the counted allocator
// (text/memory_counters.h), below every unit that allocates; reset_process_state resets both.
// A program that ends at once may also leave an object here for the process's end.
#pragma once

#include <cstddef>

#include "text/memory_counters.h"
#include "text/reused_blocks.h"

namespace ruvo {

inline constexpr std::size_t kMessageBufferSize = 1024;

// An object kept until the process ends, and how it would be released.
struct LeftToProcessEnd {
  void* object = nullptr;
  void (*release)(void*) = nullptr;
};

struct ProcessState {
  char message_buffer[kMessageBufferSize] = {};
  LeftToProcessEnd left;
  // libxml2's small blocks, kept for the next document where a program asks for it
  // (xml/parser_memory.h).
  ReusedBlocks parser_blocks;
};

// The one mutable global of the program besides the memory counters.
extern ProcessState g_process;

// Puts every field, and the memory counters, back to their values at process start; an object
// left to the process's end is released, and kept parser blocks are freed.
void reset_process_state();

// Keeps the object until the process ends, when the operating system takes its memory back at
// once: releasing a large tree node by node costs a fifth of what building it did. It stays
// reachable from here, so leak checkers count it as held, not lost. An object left before is
// released now.
void leave_to_process_end(void* object, void (*release)(void*));

inline char* message_buffer() {
  return g_process.message_buffer;
}

}  // namespace ruvo
