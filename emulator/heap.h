// The allocator behind the emulated C runtime's malloc family: first fit over
// an address range of emulated memory, with freed neighbours merged. Its
// book-keeping lives on the host side, so a buffer overrun inside the
// emulated program cannot corrupt it, and a bad free is always detected.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace qmxpe {

class HeapAllocator {
 public:
  // Every block starts at a multiple of this, as msvcrt's blocks do (and
  // more strictly than its 8 bytes).
  static constexpr uint32_t kAlignment = 16;

  // Manages [base, base + size); both must be multiples of kAlignment.
  HeapAllocator(uint32_t base, uint32_t size);

  // The start of a new block of at least `size` bytes (a block of its own
  // even for 0), at the lowest address that fits; nullopt when no free range
  // is large enough.
  std::optional<uint32_t> allocate(uint32_t size);

  // Frees the block that starts at `address`. False, changing nothing, when
  // no live block starts there (a double free, or an address never given).
  bool release(uint32_t address);

  // The usable size of the live block at `address` (its size rounded up to
  // kAlignment), or nullopt.
  std::optional<uint32_t> blockSize(uint32_t address) const;

  // Grows or shrinks the live block at `address` without moving it, taking
  // from or giving back to the free range right after it. False, changing
  // nothing, when it cannot grow there or is not a live block.
  bool resizeInPlace(uint32_t address, uint32_t size);

  uint32_t base() const { return base_; }
  uint32_t size() const { return size_; }
  // Bytes in live blocks and their number.
  uint32_t bytesInUse() const;
  // How many allocations found no free range large enough.
  size_t refusals() const { return refusals_; }
  size_t liveBlocks() const { return used_.size(); }
  // Number of separate free ranges: 1 for an empty heap whose frees have all
  // been merged back.
  size_t freeRanges() const { return free_.size(); }

 private:
  static std::optional<uint32_t> roundUp(uint32_t size);
  void addFree(uint32_t address, uint32_t size);

  uint32_t base_;
  uint32_t size_;
  std::map<uint32_t, uint32_t> free_;  // start -> size; never two adjacent ranges
  std::map<uint32_t, uint32_t> used_;  // start -> rounded size
  size_t refusals_ = 0;
};

}  // namespace qmxpe
