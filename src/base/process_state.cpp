#include "base/process_state.h"

namespace ruvo {

ProcessState g_process;

void reset_process_state() {
  g_process.message_buffer[0] = '\0';
  g_memory = MemoryCounters{};
}

}  // namespace ruvo
