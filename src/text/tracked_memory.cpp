#include "text/tracked_memory.h"

#include <cstdlib>

#include "text/memory_counters.h"

namespace ruvo {

void* tracked_alloc(std::size_t size) noexcept {
  g_memory.mem_in_use += static_cast<std::int64_t>(size);
  AllocationFaults& faults = g_memory.faults;
  ++faults.requests;
  if (faults.refuse_at != 0 && faults.requests == faults.refuse_at) {
    faults.refused_bytes += static_cast<std::int64_t>(size);
    return nullptr;
  }
  // malloc(0) may give none; a zero-sized request is still a valid block for its owner.
  return std::malloc(size == 0 ? 1 : size);
}

void tracked_free(void* block, std::size_t size) noexcept {
  g_memory.mem_in_use -= static_cast<std::int64_t>(size);
  std::free(block);
}

}  // namespace ruvo
