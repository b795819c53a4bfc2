// The stub region's ledger: stubs, addresses whose execution runs a C++
// handler; code, real instructions of our own placed beside them; and
// traps, never-mapped addresses standing for imports nobody serves. It
// hands out their addresses, keeps the names fault reports use and counts
// the calls; Emulator writes the instructions and runs the handlers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>

namespace qmxpe {

enum class CallingConvention { kCdecl, kStdcall };

class Emulator;

// The view a stub's handler has of the call that reached it.
class StubCall {
 public:
  StubCall(Emulator& emulator, uint32_t esp) : emulator_(emulator), esp_(esp) {}

  // The index-th 32-bit argument (0 is the first), read from the stack.
  uint32_t arg(int index) const;
  uint32_t returnAddress() const;
  // The value the call returns in EAX.
  void setResult(uint32_t eax) {
    eax_ = eax;
    hasResult_ = true;
  }

 private:
  friend class Emulator;
  Emulator& emulator_;
  uint32_t esp_;
  uint32_t eax_ = 0;
  bool hasResult_ = false;
};

// Runs on the host when emulated code reaches a stub. It may throw
// EmulationError to end the call with that fault; any other exception ends
// it as kHostError.
using StubHandler = std::function<void(StubCall&)>;

class StubTable {
 public:
  struct Stub {
    std::string name;
    StubHandler handler;
    uint64_t calls = 0;
  };

  // Stubs and code go in [base, base + size), traps in [trapBase, trapBase
  // + trapSize).
  StubTable(uint32_t base, uint32_t size, uint32_t trapBase, uint32_t trapSize);

  // Room for `codeSize` bytes of instructions, in whole slots: its address.
  // Throws std::runtime_error when the region is full.
  uint32_t allocate(size_t codeSize);
  // Names the instructions placed at `address` (from allocate) as a stub
  // running `handler`, or as code of our own.
  void addStub(uint32_t address, const std::string& name, StubHandler handler);
  void addCode(uint32_t address, const std::string& name);
  // A new trap's address. Throws std::runtime_error when none is left.
  uint32_t addTrap(const std::string& name);

  // The stub at exactly `address`, or null.
  Stub* stubAt(uint32_t address);
  const Stub* stubAt(uint32_t address) const;
  // Counts a call of the code starting at `address`, if any starts there.
  void countCodeEntry(uint32_t address);
  // The code nearest at or below `address` in the region, with its start in
  // *start; null when `address` is outside the region or below all code.
  const std::string* codeBelow(uint32_t address, uint32_t* start) const;
  // The name of the trap whose slot holds `address`, or null.
  const std::string* trapAt(uint32_t address) const;

  // How often each stub and each piece of code was entered, by name.
  std::map<std::string, uint64_t> callCounts() const;

 private:
  struct Code {
    std::string name;
    uint64_t calls = 0;
  };

  uint32_t base_;
  uint32_t end_;
  uint32_t trapBase_;
  uint32_t trapEnd_;
  uint32_t next_;
  uint32_t nextTrap_;
  std::unordered_map<uint32_t, Stub> stubs_;
  std::map<uint32_t, Code> code_;  // start -> instructions of our own
  std::map<uint32_t, std::string> traps_;
};

}  // namespace qmxpe
