// Small blocks given back to the system allocator's free lists of our own, for the next request
// of their size. A batch parses one document after another: each tree is hundreds of small
// blocks made and freed in a burst, far more than the allocator's per-thread cache holds, so
// the rest go through its slower paths both ways. Kept here, the next tree takes them back at
// once.
//
// Every block is a real malloc block, used whole: free and realloc stay valid on any of them,
// whoever took it. Blocks are sorted by their usable size, so a request takes a block at least
// its size whatever sizes the allocator rounds to.
#pragma once

#include <cstddef>

namespace ruvo {

class ReusedBlocks {
 public:
  static constexpr std::size_t kLargestBlock = 512;    // larger ones go back to the allocator
  static constexpr std::size_t kMostBytes = 8u << 20;  // what the lists may hold in all

  // A block of at least size bytes: a kept one when there is one, else the allocator's.
  [[nodiscard]] void* take(std::size_t size) noexcept;
  // Keeps the block for a later request, or frees it when it is large or the lists are full.
  void give_back(void* block) noexcept;
  // Frees every kept block.
  void release() noexcept;
  std::size_t bytes_kept() const noexcept { return bytes_; }

 private:
  // Class k holds the blocks of usable size from k * kClassWidth - kClassShift up to the next
  // class: glibc's blocks are 8 bytes short of a multiple of 16, so each of its sizes is a class.
  static constexpr std::size_t kClassWidth = 16;
  static constexpr std::size_t kClassShift = 8;
  static constexpr std::size_t least_size(std::size_t k) { return k * kClassWidth - kClassShift; }
  // The least class whose blocks all hold size bytes.
  static constexpr std::size_t class_for(std::size_t size) {
    return (size + kClassShift + kClassWidth - 1) / kClassWidth;
  }
  // One more than class_for(kLargestBlock), which cannot be called inside its own class.
  static constexpr std::size_t kClasses =
      (kLargestBlock + kClassShift + kClassWidth - 1) / kClassWidth + 1;
  struct FreeBlock {
    FreeBlock* next;
  };

  FreeBlock* heads_[kClasses] = {};
  std::size_t bytes_ = 0;  // the lower bounds of the kept blocks' classes, summed
};

}  // namespace ruvo
