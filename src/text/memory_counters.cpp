#include "text/memory_counters.h"

namespace ruvo {

MemoryCounters g_memory;

}  // namespace ruvo
