#include "emulator/heap.h"

#include <iterator>

namespace qmxpe {

HeapAllocator::HeapAllocator(uint32_t base, uint32_t size) : base_(base), size_(size) {
  if (size != 0) {
    free_.emplace(base, size);
  }
}

std::optional<uint32_t> HeapAllocator::roundUp(uint32_t size) {
  if (size == 0) {
    return kAlignment;
  }
  if (size > UINT32_MAX - (kAlignment - 1)) {
    return std::nullopt;
  }
  return (size + kAlignment - 1) / kAlignment * kAlignment;
}

std::optional<uint32_t> HeapAllocator::allocate(uint32_t size) {
  const std::optional<uint32_t> rounded = roundUp(size);
  if (!rounded) {
    ++refusals_;
    return std::nullopt;
  }
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    if (it->second < *rounded) {
      continue;
    }
    const uint32_t address = it->first;
    const uint32_t rest = it->second - *rounded;
    free_.erase(it);
    if (rest != 0) {
      free_.emplace(address + *rounded, rest);
    }
    used_.emplace(address, *rounded);
    return address;
  }
  ++refusals_;
  return std::nullopt;
}

void HeapAllocator::addFree(uint32_t address, uint32_t size) {
  auto next = free_.lower_bound(address);
  if (next != free_.end() && address + size == next->first) {
    size += next->second;
    next = free_.erase(next);
  }
  if (next != free_.begin()) {
    auto previous = std::prev(next);
    if (previous->first + previous->second == address) {
      previous->second += size;
      return;
    }
  }
  free_.emplace_hint(next, address, size);
}

bool HeapAllocator::release(uint32_t address) {
  auto it = used_.find(address);
  if (it == used_.end()) {
    return false;
  }
  const uint32_t size = it->second;
  used_.erase(it);
  addFree(address, size);
  return true;
}

std::optional<uint32_t> HeapAllocator::blockSize(uint32_t address) const {
  auto it = used_.find(address);
  if (it == used_.end()) {
    return std::nullopt;
  }
  return it->second;
}

bool HeapAllocator::resizeInPlace(uint32_t address, uint32_t size) {
  auto it = used_.find(address);
  const std::optional<uint32_t> rounded = roundUp(size);
  if (it == used_.end() || !rounded) {
    return false;
  }
  const uint32_t current = it->second;
  if (*rounded <= current) {
    if (*rounded < current) {
      it->second = *rounded;
      addFree(address + *rounded, current - *rounded);
    }
    return true;
  }
  const uint32_t end = address + current;
  auto next = free_.find(end);
  const uint32_t missing = *rounded - current;
  if (next == free_.end() || next->second < missing) {
    return false;
  }
  const uint32_t rest = next->second - missing;
  free_.erase(next);
  if (rest != 0) {
    free_.emplace(end + missing, rest);
  }
  it->second = *rounded;
  return true;
}

uint32_t HeapAllocator::bytesInUse() const {
  uint32_t total = 0;
  for (const auto& block : used_) {
    total += block.second;
  }
  return total;
}

}  // namespace qmxpe
