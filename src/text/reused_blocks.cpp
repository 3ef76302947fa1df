#include "text/reused_blocks.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace ruvo {

void* ReusedBlocks::take(std::size_t size) noexcept {
  // glibc makes no block smaller than class 2's least size (24 bytes): asking for it costs nothing.
  const std::size_t wanted = std::max(size, least_size(2));
  if (wanted <= kLargestBlock) {
    const std::size_t k = class_for(wanted);
    if (FreeBlock* block = heads_[k]) {
      heads_[k] = block->next;
      bytes_ -= least_size(k);
      return block;
    }
  }
  return std::malloc(wanted);
}

void ReusedBlocks::give_back(void* block) noexcept {
  if (block == nullptr) {
    return;
  }
  const std::size_t k = (malloc_usable_size(block) + kClassShift) / kClassWidth;
  if (k == 0 || k >= kClasses || bytes_ + least_size(k) > kMostBytes) {
    std::free(block);
    return;
  }
  heads_[k] = ::new (block) FreeBlock{heads_[k]};
  bytes_ += least_size(k);
}

void ReusedBlocks::release() noexcept {
  for (FreeBlock*& head : heads_) {
    while (head != nullptr) {
      FreeBlock* next = head->next;
      std::free(head);
      head = next;
    }
  }
  bytes_ = 0;
}

}  // namespace ruvo
