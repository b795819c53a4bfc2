#include "emulator/stub_table.h"

#include <iterator>
#include <stdexcept>
#include <utility>

#include "emulator/emulator.h"

namespace qmxpe {
namespace {

constexpr uint32_t kStubSlot = 8;
constexpr uint32_t kTrapSlot = 16;

}  // namespace

uint32_t StubCall::arg(int index) const {
  return emulator_.read32(esp_ + 4 + 4 * static_cast<uint32_t>(index));
}

uint32_t StubCall::returnAddress() const {
  return emulator_.read32(esp_);
}

StubTable::StubTable(uint32_t base, uint32_t size, uint32_t trapBase, uint32_t trapSize)
    : base_(base),
      end_(base + size),
      trapBase_(trapBase),
      trapEnd_(trapBase + trapSize),
      next_(base),
      nextTrap_(trapBase) {}

uint32_t StubTable::allocate(size_t codeSize) {
  const uint64_t size = (uint64_t{codeSize} + kStubSlot - 1) / kStubSlot * kStubSlot;
  if (size == 0 || next_ + size > end_) {
    throw std::runtime_error("the stub region is full");
  }
  const uint32_t address = next_;
  next_ += static_cast<uint32_t>(size);
  return address;
}

void StubTable::addStub(uint32_t address, const std::string& name, StubHandler handler) {
  stubs_[address] = Stub{name, std::move(handler), 0};
}

void StubTable::addCode(uint32_t address, const std::string& name) {
  code_[address] = Code{name, 0};
}

uint32_t StubTable::addTrap(const std::string& name) {
  if (nextTrap_ + kTrapSlot > trapEnd_) {
    throw std::runtime_error("too many unimplemented imports");
  }
  const uint32_t address = nextTrap_;
  nextTrap_ += kTrapSlot;
  traps_[address] = name;
  return address;
}

StubTable::Stub* StubTable::stubAt(uint32_t address) {
  auto found = stubs_.find(address);
  return found == stubs_.end() ? nullptr : &found->second;
}

const StubTable::Stub* StubTable::stubAt(uint32_t address) const {
  auto found = stubs_.find(address);
  return found == stubs_.end() ? nullptr : &found->second;
}

void StubTable::countCodeEntry(uint32_t address) {
  auto found = code_.find(address);
  if (found != code_.end()) {
    ++found->second.calls;
  }
}

const std::string* StubTable::codeBelow(uint32_t address, uint32_t* start) const {
  if (address <= base_ || address >= end_) {
    return nullptr;
  }
  auto after = code_.upper_bound(address);
  if (after == code_.begin()) {
    return nullptr;
  }
  auto found = std::prev(after);
  *start = found->first;
  return &found->second.name;
}

const std::string* StubTable::trapAt(uint32_t address) const {
  if (address < trapBase_ || address >= trapEnd_) {
    return nullptr;
  }
  auto after = traps_.upper_bound(address);
  if (after == traps_.begin() || address - std::prev(after)->first >= kTrapSlot) {
    return nullptr;
  }
  return &std::prev(after)->second;
}

std::map<std::string, uint64_t> StubTable::callCounts() const {
  std::map<std::string, uint64_t> counts;
  for (const auto& entry : stubs_) {
    counts[entry.second.name] += entry.second.calls;
  }
  for (const auto& entry : code_) {
    counts[entry.second.name] += entry.second.calls;
  }
  return counts;
}

}  // namespace qmxpe
