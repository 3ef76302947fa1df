#include "text/tracked_memory.h"

#include "support/test_support.h"

namespace ruvo {
namespace {

using TrackedMemoryTest = test::CleanStateTest;

TEST_F(TrackedMemoryTest, CountsEveryRequestAndRelease) {
  void* block = tracked_alloc(40);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(mem_in_use(), 40);
  tracked_free(block, 40);
  EXPECT_EQ(mem_in_use(), 0);

  // Giving back another size shifts the count by the difference: the count is only as true
  // as the sizes its callers give back.
  test::KeepMemoryCount keep;
  block = tracked_alloc(40);
  tracked_free(block, 30);
  EXPECT_EQ(mem_in_use(), 10);
}

TEST_F(TrackedMemoryTest, RefusedRequestStillCountsItsSize) {
  test::RefuseAllocation refuse(2);
  void* first = tracked_alloc(8);
  void* second = tracked_alloc(16);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(mem_in_use(), 24);
  tracked_free(first, 8);
  EXPECT_EQ(mem_in_use(), 16);
}

TEST_F(TrackedMemoryTest, OwnersGiveBackExactlyWhatTheyTook) {
  {
    ByteBlock block(100);
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(mem_in_use(), 100);
    ByteBlock moved = std::move(block);
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(moved.size(), 100u);
    auto record = make_tracked<int>(7);
    ASSERT_TRUE(record);
    EXPECT_EQ(mem_in_use(), 100 + static_cast<std::int64_t>(sizeof(int)));
  }
  EXPECT_EQ(mem_in_use(), 0);
}

TEST_F(TrackedMemoryTest, ArrayOfOwnersGivesBackTheirBlocksAndItsOwn) {
  {
    TrackedArray<Tracked<int>> owners(3);
    ASSERT_FALSE(owners.empty());
    EXPECT_EQ(owners.size(), 3u);
    EXPECT_FALSE(owners[2]) << "owners start empty";
    owners[1] = make_tracked<int>(5);
    EXPECT_EQ(mem_in_use(), static_cast<std::int64_t>(3 * sizeof(Tracked<int>) + sizeof(int)));
  }
  EXPECT_EQ(mem_in_use(), 0);
}

TEST_F(TrackedMemoryTest, FailedRecordLeavesNoBlockBehind) {
  test::RefuseAllocation refuse(1);
  auto record = make_tracked<double>(1.0);
  EXPECT_FALSE(record);
  EXPECT_EQ(mem_in_use(), static_cast<std::int64_t>(sizeof(double)));
}

}  // namespace
}  // namespace ruvo
