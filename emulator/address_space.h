// The emulated address space: which ranges are mapped (with a protection
// for each page) or only reserved, under the names fault reports give them,
// kept in step with the CPU's own mappings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct uc_struct;

namespace qmxpe {

// Unicorn's protection bits, restated so callers need not include it.
enum Protection : uint32_t {
  kProtNone = 0,
  kProtRead = 1,
  kProtWrite = 2,
  kProtExec = 4,
  kProtAll = 7,
};

// A protection as fault reports write it: "r-x".
std::string protectionText(uint32_t protection);

class AddressSpace {
 public:
  static constexpr uint32_t kPageSize = 0x1000;
  // The first 64 KiB are never free, so that null-pointer accesses fault,
  // as on Windows.
  static constexpr uint32_t kNullGuardEnd = 0x00010000;
  // Windows gives a 32-bit process without /LARGEADDRESSAWARE 2 GiB.
  static constexpr uint32_t kUserSpaceEnd = 0x7fff0000;

  // A mapped or reserved range, by its start.
  struct Region {
    uint32_t size;
    std::string name;
    bool mapped;
  };

  // Maps into `uc`, which must outlive this object; nothing is mapped yet.
  explicit AddressSpace(uc_struct* uc);

  // Maps [address, address + size) (page multiples) with `protection`, all
  // zero, and names it for fault reports. Throws std::runtime_error when any
  // of it is taken.
  void map(uint32_t address, uint32_t size, uint32_t protection, const std::string& name);
  // Marks a range taken without mapping it, as memory another module of the
  // process would hold: accesses to it fault, and nothing is mapped there.
  void reserve(uint32_t address, uint32_t size, const std::string& name);
  // Changes the protection of the pages the range touches; false when any
  // of them is not mapped.
  bool protect(uint32_t address, uint32_t size, uint32_t protection);

  // Whether no page of the range is mapped or reserved, and it lies in the
  // user address space above the null guard.
  bool isFree(uint32_t address, uint32_t size) const;
  // The lowest free address at or above `from`, aligned to `alignment`, for
  // `size` bytes; 0 when there is none.
  uint32_t findFree(uint32_t size, uint32_t alignment, uint32_t from) const;
  // A page's protection (kProtNone also for unmapped pages) and whether it
  // is mapped.
  uint32_t pageProtection(uint32_t address) const;
  bool isMapped(uint32_t address) const;
  // The mapped range (as passed to map) holding `address`: its start and
  // size, or {0, 0}.
  std::pair<uint32_t, uint32_t> allocationOf(uint32_t address) const;
  // The region, mapped or reserved, holding `address`, with its start in
  // *begin; null when there is none.
  const Region* regionOf(uint32_t address, uint32_t* begin) const;
  // The first address of [address, address + size) whose page is unmapped
  // or lacks a bit of `needed`; nullopt when the whole access is allowed.
  // The range must be non-empty and end within the 4 GiB.
  std::optional<uint32_t> firstDenied(uint32_t address, size_t size, uint32_t needed) const;

 private:
  const Region* overlapping(uint32_t address, uint64_t size) const;
  void setPages(uint64_t first, uint64_t end, uint32_t protection);

  uc_struct* uc_;
  std::vector<uint8_t> pageProtection_;  // per 4 KiB page; bit 0x80 marks a mapped page
  std::map<uint32_t, Region> regions_;   // start -> region, mapped or reserved
};

}  // namespace qmxpe
