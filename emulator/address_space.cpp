#include "emulator/address_space.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "emulator/emulation_error.h"
#include "emulator/unicorn_check.h"

namespace qmxpe {
namespace {

constexpr uint8_t kMappedBit = 0x80;
constexpr uint64_t kAddressSpaceEnd = uint64_t{1} << 32;

}  // namespace

std::string protectionText(uint32_t protection) {
  std::string text;
  text += (protection & kProtRead) != 0 ? 'r' : '-';
  text += (protection & kProtWrite) != 0 ? 'w' : '-';
  text += (protection & kProtExec) != 0 ? 'x' : '-';
  return text;
}

AddressSpace::AddressSpace(uc_struct* uc)
    : uc_(uc), pageProtection_(kAddressSpaceEnd / kPageSize, 0) {}

void AddressSpace::map(uint32_t address, uint32_t size, uint32_t protection,
                       const std::string& name) {
  if (size == 0 || address % kPageSize != 0 || size % kPageSize != 0 ||
      uint64_t{address} + size > kAddressSpaceEnd) {
    throw std::runtime_error("cannot map " + name + ": bad range " + hex32(address) + "+" +
                             hexOffset(size));
  }
  if (const Region* taken = overlapping(address, size)) {
    throw std::runtime_error("cannot map " + name + " at " + hex32(address) + ": " + taken->name +
                             " is there");
  }
  checkUnicorn(uc_mem_map(uc_, address, size, protection), ("mapping " + name).c_str());
  regions_[address] = Region{size, name, true};
  setPages(address / kPageSize, (uint64_t{address} + size) / kPageSize, protection);
}

void AddressSpace::reserve(uint32_t address, uint32_t size, const std::string& name) {
  if (size == 0 || uint64_t{address} + size > kAddressSpaceEnd) {
    throw std::runtime_error("cannot reserve " + name + ": bad range " + hex32(address) + "+" +
                             hexOffset(size));
  }
  if (const Region* taken = overlapping(address, size)) {
    throw std::runtime_error("cannot reserve " + hex32(address) + "+" + hexOffset(size) + " for " +
                             name + ": " + taken->name + " is there");
  }
  regions_[address] = Region{size, name, false};
}

bool AddressSpace::protect(uint32_t address, uint32_t size, uint32_t protection) {
  const uint32_t first = address / kPageSize;
  const uint64_t end = (uint64_t{address} + size + kPageSize - 1) / kPageSize;
  // A range running past the 4 GiB has pages no table holds.
  if (end > pageProtection_.size()) {
    return false;
  }
  for (uint64_t page = first; page < end; ++page) {
    if ((pageProtection_[page] & kMappedBit) == 0) {
      return false;
    }
  }
  const uint32_t begin = first * kPageSize;
  if (uc_mem_protect(uc_, begin, static_cast<size_t>(end * kPageSize - begin), protection) !=
      UC_ERR_OK) {
    return false;
  }
  setPages(first, end, protection);
  return true;
}

void AddressSpace::setPages(uint64_t first, uint64_t end, uint32_t protection) {
  for (uint64_t page = first; page < end; ++page) {
    pageProtection_[page] = static_cast<uint8_t>(kMappedBit | protection);
  }
}

bool AddressSpace::isFree(uint32_t address, uint32_t size) const {
  const uint64_t end = uint64_t{address} + size;
  if (size == 0 || address < kNullGuardEnd || end > kUserSpaceEnd) {
    return false;
  }
  return overlapping(address, size) == nullptr;
}

const AddressSpace::Region* AddressSpace::overlapping(uint32_t address, uint64_t size) const {
  const uint64_t end = uint64_t{address} + size;
  // The last region starting before the end is the only one that can reach
  // into the range, since regions never overlap each other.
  auto after = end > UINT32_MAX ? regions_.end() : regions_.lower_bound(static_cast<uint32_t>(end));
  if (after == regions_.begin()) {
    return nullptr;
  }
  auto previous = std::prev(after);
  return uint64_t{previous->first} + previous->second.size > address ? &previous->second : nullptr;
}

uint32_t AddressSpace::findFree(uint32_t size, uint32_t alignment, uint32_t from) const {
  uint64_t candidate = (uint64_t{from} + alignment - 1) / alignment * alignment;
  while (candidate + size <= kUserSpaceEnd) {
    const auto address = static_cast<uint32_t>(candidate);
    if (isFree(address, size)) {
      return address;
    }
    // Skip past the region in the way.
    auto after = regions_.lower_bound(static_cast<uint32_t>(candidate + size));
    uint64_t next = candidate + alignment;
    if (after != regions_.begin()) {
      auto previous = std::prev(after);
      next = std::max(next, uint64_t{previous->first} + previous->second.size);
    }
    candidate = (next + alignment - 1) / alignment * alignment;
  }
  return 0;
}

uint32_t AddressSpace::pageProtection(uint32_t address) const {
  return pageProtection_[address / kPageSize] & kProtAll;
}

bool AddressSpace::isMapped(uint32_t address) const {
  return (pageProtection_[address / kPageSize] & kMappedBit) != 0;
}

const AddressSpace::Region* AddressSpace::regionOf(uint32_t address, uint32_t* begin) const {
  auto after = regions_.upper_bound(address);
  if (after == regions_.begin()) {
    return nullptr;
  }
  auto found = std::prev(after);
  if (uint64_t{found->first} + found->second.size <= address) {
    return nullptr;
  }
  *begin = found->first;
  return &found->second;
}

std::pair<uint32_t, uint32_t> AddressSpace::allocationOf(uint32_t address) const {
  uint32_t begin = 0;
  const Region* region = regionOf(address, &begin);
  if (region == nullptr || !region->mapped) {
    return {0, 0};
  }
  return {begin, region->size};
}

std::optional<uint32_t> AddressSpace::firstDenied(uint32_t address, size_t size,
                                                  uint32_t needed) const {
  const uint64_t last = uint64_t{address} + size - 1;
  for (uint64_t page = address / kPageSize; page <= last / kPageSize; ++page) {
    const uint8_t bits = pageProtection_[page];
    if ((bits & kMappedBit) == 0 || (bits & needed) != needed) {
      return std::max<uint32_t>(address, static_cast<uint32_t>(page * kPageSize));
    }
  }
  return std::nullopt;
}

}  // namespace qmxpe
