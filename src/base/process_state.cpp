#include "base/process_state.h"

namespace ruvo {

ProcessState g_process;

namespace {

void release_left() {
  LeftToProcessEnd& left = g_process.left;
  if (left.object != nullptr) {
    left.release(left.object);
  }
  left = LeftToProcessEnd{};
}

}  // namespace

void reset_process_state() {
  g_process.message_buffer[0] = '\0';
  release_left();
  g_process.parser_blocks.release();
  g_memory = MemoryCounters{};
}

void leave_to_process_end(void* object, void (*release)(void*)) {
  release_left();
  g_process.left = {object, release};
}

}  // namespace ruvo
