// The allocator behind the emulated malloc: first fit, merging of freed
// neighbours, detection of bad frees, growth in place.
#include "emulator/heap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using qmxpe::HeapAllocator;

constexpr uint32_t kBase = 0x01000000;
constexpr uint32_t kSize = 0x1000;

TEST(Heap, blocks_are_aligned_distinct_and_inside_the_range) {
  HeapAllocator heap(kBase, kSize);
  std::vector<uint32_t> blocks;
  for (uint32_t size : {0u, 1u, 15u, 16u, 17u, 100u}) {
    const auto block = heap.allocate(size);
    ASSERT_TRUE(block.has_value()) << size;
    EXPECT_EQ(*block % HeapAllocator::kAlignment, 0u);
    EXPECT_GE(*block, kBase);
    EXPECT_GE(*heap.blockSize(*block), size);
    for (uint32_t other : blocks) {
      const uint32_t otherEnd = other + *heap.blockSize(other);
      EXPECT_TRUE(*block >= otherEnd || *block + *heap.blockSize(*block) <= other)
          << "blocks overlap";
    }
    blocks.push_back(*block);
  }
  EXPECT_LE(blocks.back() + *heap.blockSize(blocks.back()), kBase + kSize);
}

TEST(Heap, first_fit_reuses_the_lowest_hole_that_fits) {
  HeapAllocator heap(kBase, kSize);
  const uint32_t a = *heap.allocate(64);
  const uint32_t b = *heap.allocate(32);
  const uint32_t c = *heap.allocate(64);
  ASSERT_TRUE(heap.release(a));
  ASSERT_TRUE(heap.release(c));
  // Both holes fit 48 bytes; the lower one is taken.
  EXPECT_EQ(*heap.allocate(48), a);
  // Only the hole after b fits 64 now.
  EXPECT_EQ(*heap.allocate(64), c);
  EXPECT_TRUE(heap.release(b));
}

// Freed neighbours merge whatever the order, so the whole range is one
// block again once everything is free.
TEST(Heap, freeing_in_any_order_merges_back_to_one_range) {
  const std::vector<std::vector<int>> orders = {
      {0, 1, 2, 3}, {3, 2, 1, 0}, {1, 3, 0, 2}, {2, 0, 3, 1}};
  for (const auto& order : orders) {
    HeapAllocator heap(kBase, kSize);
    std::vector<uint32_t> blocks;
    for (int i = 0; i < 4; ++i) blocks.push_back(*heap.allocate(100));
    for (int index : order) ASSERT_TRUE(heap.release(blocks[static_cast<size_t>(index)]));
    EXPECT_EQ(heap.freeRanges(), 1u);
    EXPECT_EQ(heap.liveBlocks(), 0u);
    EXPECT_EQ(heap.allocate(kSize), kBase) << "the whole range is not one block";
  }
}

TEST(Heap, bad_frees_are_refused_and_change_nothing) {
  HeapAllocator heap(kBase, kSize);
  const uint32_t a = *heap.allocate(64);
  const uint32_t b = *heap.allocate(64);
  ASSERT_TRUE(heap.release(a));
  const uint32_t inUse = heap.bytesInUse();
  for (uint32_t address : {a, b + 16, kBase + kSize, 0u, 0xfffffff0u}) {
    EXPECT_FALSE(heap.release(address)) << address;
  }
  EXPECT_EQ(heap.bytesInUse(), inUse);
  EXPECT_EQ(heap.liveBlocks(), 1u);
  EXPECT_TRUE(heap.release(b));
}

TEST(Heap, exhaustion_and_impossible_sizes_answer_nothing) {
  HeapAllocator heap(kBase, kSize);
  EXPECT_FALSE(heap.allocate(kSize + 1).has_value());
  EXPECT_FALSE(heap.allocate(0xffffffffu).has_value());
  const uint32_t all = *heap.allocate(kSize);
  EXPECT_FALSE(heap.allocate(0).has_value());
  EXPECT_TRUE(heap.release(all));
  EXPECT_TRUE(heap.allocate(0).has_value());
}

TEST(Heap, resizing_in_place_takes_and_gives_back_the_neighbouring_space) {
  HeapAllocator heap(kBase, kSize);
  const uint32_t a = *heap.allocate(32);
  const uint32_t b = *heap.allocate(32);
  // Blocked by b.
  EXPECT_FALSE(heap.resizeInPlace(a, 64));
  EXPECT_EQ(*heap.blockSize(a), 32u);
  // b, the last block, grows into the free space after it.
  EXPECT_TRUE(heap.resizeInPlace(b, 512));
  EXPECT_EQ(*heap.blockSize(b), 512u);
  EXPECT_EQ(*heap.allocate(16), b + 512);
  // Shrinking frees the tail for others.
  EXPECT_TRUE(heap.resizeInPlace(b, 64));
  EXPECT_EQ(*heap.allocate(64), b + 64);
  EXPECT_FALSE(heap.resizeInPlace(b + 16, 8)) << "not a block start";
  EXPECT_FALSE(heap.resizeInPlace(b, kSize)) << "larger than the heap";
}

}  // namespace
