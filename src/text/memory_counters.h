// The counted allocator's process-wide counters: the bytes in use, and the test-only switch that
// makes it refuse a request. Kept apart from the other process-wide state because every unit
// allocates, and the text layer is below all of them.
#pragma once

#include <cstdint>

namespace ruvo {

// Test-only switch of the counted allocator: refuse the request numbered refuse_at (1-based).
struct AllocationFaults {
  std::uint64_t requests = 0;
  std::uint64_t refuse_at = 0;     // 0: never refuse
  std::int64_t refused_bytes = 0;  // sizes of the requests refused so far
};

struct MemoryCounters {
  std::int64_t mem_in_use = 0;  // bytes taken through tracked_alloc and not yet given back
  AllocationFaults faults;
};

extern MemoryCounters g_memory;

inline std::int64_t mem_in_use() {
  return g_memory.mem_in_use;
}

}  // namespace ruvo
