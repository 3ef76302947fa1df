#include "text/reused_blocks.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace ruvo {
namespace {

// Every request gets a block it may fill whole, whether it is new or kept, and a kept block
// serves the next request of its size.
TEST(ReusedBlocksTest, KeptBlocksServeRequestsTheyHold) {
  ReusedBlocks blocks;
  for (std::size_t size = 0; size <= ReusedBlocks::kLargestBlock + 20; ++size) {
    void* first = blocks.take(size);
    ASSERT_NE(first, nullptr);
    ASSERT_GE(malloc_usable_size(first), size);
    std::memset(first, 'x', size);
    blocks.give_back(first);
    void* again = blocks.take(size);
    ASSERT_GE(malloc_usable_size(again), size);
    std::memset(again, 'y', size);
    // glibc's usable sizes are 8 short of a multiple of 16, each a class of its own, so a kept
    // block serves the next request of its size; allocators that keep other sizes (a
    // sanitizer's: exactly the size asked) reuse less.
    const bool own_class = (malloc_usable_size(first) + 8) % 16 == 0;
    if (own_class && size > 0 && size <= ReusedBlocks::kLargestBlock) {
      EXPECT_EQ(again, first) << size;
    }
    void* resized = std::realloc(again, size + 100);  // kept blocks stay the allocator's
    ASSERT_NE(resized, nullptr);
    blocks.give_back(resized);
  }
  blocks.give_back(nullptr);
  blocks.give_back(std::malloc(64));
  EXPECT_GE(blocks.bytes_kept(), 64u);
  blocks.release();
  EXPECT_EQ(blocks.bytes_kept(), 0u);
}

TEST(ReusedBlocksTest, KeepsNoMoreThanItsBound) {
  ReusedBlocks blocks;
  std::vector<void*> taken;
  for (std::size_t bytes = 0; bytes < 2 * ReusedBlocks::kMostBytes; bytes += 256) {
    taken.push_back(blocks.take(256));
  }
  for (void* block : taken) {
    blocks.give_back(block);
  }
  EXPECT_LE(blocks.bytes_kept(), ReusedBlocks::kMostBytes);
  EXPECT_GT(blocks.bytes_kept(), ReusedBlocks::kMostBytes - 1024);
  blocks.release();
}

}  // namespace
}  // namespace ruvo
