// The emulated 32-bit x86 machine a PE image runs in: Unicorn's CPU with a
// flat Windows-like address space (a GDT with flat descriptors, a TEB behind
// FS, a stack, a heap range), a region of stubs whose execution runs C++
// handlers, and calls from C++ into emulated code that end at a sentinel
// address. Every fault ends the current call with an EmulationError; none
// reaches the host process as a crash or a hang.
//
// One thread of emulated code, one call at a time: a handler may read and
// write emulated memory but must not call into emulated code again.
//
// Its parts, each in a file of its own: the address space
// (address_space.h), checked memory access (memory_access.cpp), the stub
// region's ledger (stub_table.h), the names of addresses (symbolizer.h),
// what Unicorn reports while code runs (cpu_hooks.cpp), and the CPU and
// calls (emulator.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "emulator/address_space.h"
#include "emulator/emulation_error.h"
#include "emulator/stub_table.h"
#include "emulator/symbolizer.h"

struct uc_struct;

namespace qmxpe {

class Emulator {
 public:
  // The fixed address-space layout. The first 64 KiB stay unmapped so that
  // null-pointer accesses fault, as on Windows.
  static constexpr uint32_t kPageSize = AddressSpace::kPageSize;
  static constexpr uint32_t kGdtBase = 0x00010000;
  static constexpr uint32_t kTebBase = 0x00011000;
  static constexpr uint32_t kTebSize = 0x2000;
  static constexpr uint32_t kPebBase = 0x00013000;
  static constexpr uint32_t kStubBase = 0x00020000;
  static constexpr uint32_t kStubSize = 0x00010000;
  // Never mapped: imports nobody serves point here, so that calling them or
  // reading their data faults with a known name.
  static constexpr uint32_t kTrapBase = 0x00030000;
  static constexpr uint32_t kTrapSize = 0x00010000;
  static constexpr uint32_t kDataBase = 0x00040000;
  static constexpr uint32_t kDataSize = 0x00010000;
  // A stack overflow runs into the unmapped guard below the stack.
  static constexpr uint32_t kStackGuard = 0x00100000;
  static constexpr uint32_t kStackBase = 0x00110000;
  static constexpr uint32_t kStackSize = 0x00100000;
  static constexpr uint32_t kHeapBase = 0x01000000;
  // Images go at their preferred base; a relocated one goes at or above this.
  static constexpr uint32_t kRelocationFloor = 0x10000000;
  static constexpr uint32_t kUserSpaceEnd = AddressSpace::kUserSpaceEnd;
  // The thread id GetCurrentThreadId reports and the TEB holds.
  static constexpr uint32_t kThreadId = 0x1a4;
  static constexpr uint32_t kProcessId = 0x1a0;

  // Sets up the CPU and the fixed regions; the heap range is mapped with
  // heapSize bytes (a multiple of 64 KiB). Throws std::runtime_error when
  // Unicorn refuses.
  explicit Emulator(uint32_t heapSize = 32u << 20);
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // --- Address space (see AddressSpace) ---

  void map(uint32_t address, uint32_t size, uint32_t protection, const std::string& name) {
    space_.map(address, size, protection, name);
  }
  void reserve(uint32_t address, uint32_t size, const std::string& name) {
    space_.reserve(address, size, name);
  }
  bool protect(uint32_t address, uint32_t size, uint32_t protection) {
    return space_.protect(address, size, protection);
  }
  bool isFree(uint32_t address, uint32_t size) const { return space_.isFree(address, size); }
  uint32_t findFree(uint32_t size, uint32_t alignment, uint32_t from) const {
    return space_.findFree(size, alignment, from);
  }
  uint32_t pageProtection(uint32_t address) const { return space_.pageProtection(address); }
  bool isMapped(uint32_t address) const { return space_.isMapped(address); }
  std::pair<uint32_t, uint32_t> allocationOf(uint32_t address) const {
    return space_.allocationOf(address);
  }

  // --- Memory access on behalf of emulated code ---
  // These honour page protection and throw EmulationError (kAccessViolation,
  // with the address) as the CPU would fault.

  void read(uint32_t address, void* out, size_t size) const;
  void write(uint32_t address, const void* data, size_t size);
  uint8_t read8(uint32_t address) const;
  uint16_t read16(uint32_t address) const;
  uint32_t read32(uint32_t address) const;
  void write16(uint32_t address, uint16_t value) { write(address, &value, 2); }
  void write32(uint32_t address, uint32_t value) { write(address, &value, 4); }
  // The NUL-terminated text at `address`, without the NUL. Throws when it is
  // not terminated within `limit` bytes or runs into unreadable memory.
  std::string readString(uint32_t address, size_t limit = 1u << 20) const;
  // The same for a text of 16-bit units.
  std::u16string readWideString(uint32_t address, size_t limit = 1u << 20) const;
  // Length of the NUL-terminated text at `address` (strlen), same faults.
  uint32_t stringLength(uint32_t address, size_t limit = UINT32_MAX) const;

  // strnlen: the length of the text at `address`, at most `limit`.
  uint32_t boundedLength(uint32_t address, uint32_t limit) const;
  // memmove between emulated addresses (overlap allowed), and memset.
  void moveBytes(uint32_t destination, uint32_t source, uint32_t size);
  void fill(uint32_t destination, uint8_t value, uint32_t size);

  // Writes whatever the protection (the loader placing images and code).
  void load(uint32_t address, const void* data, size_t size);

  // Carves zero-filled bytes out of the runtime data region, for the
  // variables of the emulated system DLLs. Throws std::runtime_error when
  // the region is full.
  uint32_t allocateData(uint32_t size, uint32_t alignment = 8);

  // --- Stubs and code ---

  // Places a stub: `ret` (cdecl) or `ret 4*argumentCount` (stdcall) whose
  // execution first runs `handler`. `name` appears in fault reports, e.g.
  // "import stub KERNEL32.dll!TlsAlloc". Returns the stub's address.
  uint32_t addStub(const std::string& name, CallingConvention convention, int argumentCount,
                   StubHandler handler);
  // Places real instructions in the stub region; returns their address.
  uint32_t addCode(const std::string& name, const std::vector<uint8_t>& code);
  // An address in the never-mapped trap range standing for an import nobody
  // serves; calling it or reading through it fails naming `name`.
  uint32_t addTrap(const std::string& name) { return stubs_.addTrap(name); }
  // How often each stub (and each piece of code from addCode) was entered,
  // by name.
  std::map<std::string, uint64_t> stubCallCounts() const { return stubs_.callCounts(); }

  // --- Names of addresses, for fault reports (see Symbolizer) ---

  std::string describe(uint32_t address) const { return symbols_.describe(address); }
  std::string describeReturnAddress(uint32_t address) const {
    return symbols_.describeReturnAddress(address);
  }
  std::string symbolAt(uint32_t address) const { return symbols_.symbolAt(address); }
  void addModule(const std::string& name, uint32_t base, uint32_t size,
                 std::vector<std::pair<uint32_t, std::string>> symbols) {
    symbols_.addModule(name, base, size, std::move(symbols));
  }

  // --- Calls into emulated code ---

  // Instructions one call may execute before it is stopped as an endless
  // loop.
  void setInstructionLimit(uint64_t limit) { instructionLimit_ = limit; }

  // Calls the stdcall function at `address` with `args` on a fresh stack and
  // returns EAX. `label` names the call in error messages. Throws
  // EmulationError for any fault, for an instruction budget run out, and
  // when the function did not remove exactly its arguments; throws
  // std::logic_error when called while a call is running.
  uint32_t call(uint32_t address, const std::vector<uint32_t>& args, const std::string& label);

  // The thread's last-error value, kept in the TEB as Windows keeps it.
  uint32_t lastError() const;
  void setLastError(uint32_t value);
  uint32_t tebAddress() const { return kTebBase; }

 private:
  // The return address every call from the host pushes; it is never
  // executed. Unwinders read the code around a return address (libgcc's
  // looks for signal trampolines there), so it sits amid readable int3
  // padding at the start of the stub region.
  static constexpr uint32_t kSentinel = kStubBase + 16;
  static constexpr uint32_t kSentinelPadding = 32;

  struct Fault {
    FaultKind kind;
    uint32_t address;
    std::string detail;
  };
  struct CloseUnicorn {
    void operator()(uc_struct* uc) const;
  };

  // Unicorn's callbacks, with Unicorn's own types, live in cpu_hooks.cpp.
  friend struct EmulatorHooks;
  void installHooks();

  void runStub(StubTable::Stub& stub);
  void recordFault(FaultKind kind, uint32_t address, std::string detail);
  void setupSegments();
  void setupTeb();
  uint32_t reg(int id) const;
  void setReg(int id, uint32_t value);
  uint32_t placeInStubRegion(const std::vector<uint8_t>& code);
  // Writes `args` and the sentinel below the top of the stack and points ESP
  // at them; returns where ESP must be after the callee removes them.
  uint32_t pushArguments(const std::vector<uint32_t>& args, const std::string& label);
  void checkAccess(uint32_t address, size_t size, uint32_t needed, const char* verb) const;

  std::unique_ptr<uc_struct, CloseUnicorn> uc_;
  AddressSpace space_{uc_.get()};
  StubTable stubs_{kStubBase, kStubSize, kTrapBase, kTrapSize};
  Symbolizer symbols_{space_, stubs_, kSentinel};
  uint32_t nextData_ = kDataBase;
  uint64_t instructionLimit_ = 300'000'000;
  bool running_ = false;
  std::unique_ptr<Fault> fault_;
};

}  // namespace qmxpe
