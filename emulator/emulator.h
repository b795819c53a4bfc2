// The emulated 32-bit x86 machine a PE image runs in: Unicorn's CPU with a
// flat Windows-like address space (a GDT with flat descriptors, a TEB behind
// FS, a stack, a heap range), a region of stubs whose execution runs C++
// handlers, and calls from C++ into emulated code that end at a sentinel
// address. Every fault ends the current call with an EmulationError; none
// reaches the host process as a crash or a hang.
//
// One thread of emulated code, one call at a time: a handler may read and
// write emulated memory but must not call into emulated code again.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

struct uc_struct;

namespace qmxpe {

// An emulated address as fault reports write it: "0x0040a1b2".
std::string hex32(uint32_t value);

enum class FaultKind {
  kAccessViolation,      // a read, write or fetch outside mapped memory or against its protection
  kUnimplementedImport,  // a call of (or an access to the data of) an import nobody serves
  kInvalidInstruction,
  kCpuException,      // divide error, breakpoint, general protection...
  kStackImbalance,    // ESP after the return is not where the caller's arguments ended
  kInstructionLimit,  // no return within the instruction budget: an endless loop
  kAbort,             // the program gave up: abort(), _amsg_exit(), a deadlock
  kHeapMisuse,        // free or realloc of an address the heap never gave out
  kHostError,         // a C++ handler failed for another reason
};

// The reason a call into emulated code did not return normally. what() is
// one line: the call that was running, what happened, the faulting address
// and the nearest known symbol.
class EmulationError : public std::runtime_error {
 public:
  EmulationError(FaultKind kind, uint32_t address, const std::string& message)
      : std::runtime_error(message), kind_(kind), address_(address) {}

  FaultKind kind() const { return kind_; }
  // The accessed address for an access violation, the instruction's address
  // otherwise.
  uint32_t address() const { return address_; }

 private:
  FaultKind kind_;
  uint32_t address_;
};

// Unicorn's protection bits, restated so callers need not include it.
enum Protection : uint32_t {
  kProtNone = 0,
  kProtRead = 1,
  kProtWrite = 2,
  kProtExec = 4,
  kProtAll = 7,
};

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

class Emulator {
 public:
  // The fixed address-space layout. The first 64 KiB stay unmapped so that
  // null-pointer accesses fault, as on Windows.
  static constexpr uint32_t kPageSize = 0x1000;
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
  // Windows gives a 32-bit process without /LARGEADDRESSAWARE 2 GiB.
  static constexpr uint32_t kUserSpaceEnd = 0x7fff0000;
  // The thread id GetCurrentThreadId reports and the TEB holds.
  static constexpr uint32_t kThreadId = 0x1a4;
  static constexpr uint32_t kProcessId = 0x1a0;

  // Sets up the CPU and the fixed regions; the heap range is mapped with
  // heapSize bytes (a multiple of 64 KiB). Throws std::runtime_error when
  // Unicorn refuses.
  explicit Emulator(uint32_t heapSize = 32u << 20);
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // --- Address space ---

  // Maps [address, address + size) (page multiples) with `protection`, all
  // zero, and names it for fault reports. Throws std::runtime_error when any
  // of it is taken.
  void map(uint32_t address, uint32_t size, uint32_t protection, const std::string& name);
  // Marks a range taken without mapping it, as memory another module of the
  // process would hold: accesses to it fault, and nothing is mapped there.
  void reserve(uint32_t address, uint32_t size, const std::string& name);
  // Changes the protection of mapped pages; false when any page of the
  // range is not mapped.
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
  // memmove between emulated addresses (overlap allowed) and memset.
  void move(uint32_t destination, uint32_t source, uint32_t size);
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
  uint32_t addTrap(const std::string& name);
  // How often each stub (and each piece of code from addCode) was entered,
  // by name.
  std::map<std::string, uint64_t> stubCallCounts() const;

  // Describes an address for fault reports, "0x6b3814b3
  // (Quillmax.dll!_IMessageProc@4+0x3, RVA 0x14b3)": a stub, a module's
  // nearest symbol at or below it, or a named region.
  std::string describe(uint32_t address) const;
  // The same for a return address, whose call belongs to the byte before it.
  std::string describeReturnAddress(uint32_t address) const;
  // Just the name part: "Quillmax.dll!_IMessageProc@4", "import stub ...".
  std::string symbolAt(uint32_t address) const;
  // Registers a module for describe(): `symbols` are (address, name) pairs.
  void addModule(const std::string& name, uint32_t base, uint32_t size,
                 std::vector<std::pair<uint32_t, std::string>> symbols);

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
  struct Stub {
    std::string name;
    StubHandler handler;
    uint64_t calls = 0;
  };
  struct Code {
    std::string name;
    uint64_t calls = 0;
  };
  struct Module {
    std::string name;
    uint32_t base;
    uint32_t size;
    std::map<uint32_t, std::string> symbols;
  };
  struct Region {
    uint32_t size;
    std::string name;
    bool mapped;
  };
  struct Fault {
    FaultKind kind;
    uint32_t address;
    std::string detail;
  };

  // Unicorn's callbacks, with Unicorn's own types, live in the .cpp file.
  friend struct EmulatorHooks;

  void runStub(Stub& stub);
  void recordFault(FaultKind kind, uint32_t address, std::string detail);
  void setupSegments();
  void setupTeb();
  uint32_t reg(int id) const;
  void setReg(int id, uint32_t value);
  uint32_t placeInStubRegion(const std::vector<uint8_t>& code);
  void checkAccess(uint32_t address, size_t size, uint32_t needed, const char* verb) const;
  const Region* regionOf(uint32_t address, uint32_t* begin) const;
  const Region* overlapping(uint32_t address, uint64_t size) const;
  std::string where(uint32_t address, bool afterCall, bool withRva) const;

  uc_struct* uc_ = nullptr;
  std::vector<uint8_t> pageProtection_;  // per 4 KiB page; bit 0x80 marks a mapped page
  std::map<uint32_t, Region> regions_;   // start -> region, mapped or reserved
  std::unordered_map<uint32_t, Stub> stubs_;
  std::map<uint32_t, Code> code_;  // start -> instructions of our own
  std::map<uint32_t, std::string> traps_;
  std::vector<Module> modules_;
  uint32_t nextStub_ = kStubBase + 32;  // after the return sentinel and its padding
  uint32_t nextTrap_ = kTrapBase;
  uint32_t nextData_ = kDataBase;
  uint64_t instructionLimit_ = 300'000'000;
  bool running_ = false;
  std::unique_ptr<Fault> fault_;
};

}  // namespace qmxpe
