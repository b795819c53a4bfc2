// The CPU and calls: the machine's fixed regions, segments and TEB, the
// stubs placed and run, and calls from the host into emulated code.
#include "emulator/emulator.h"

#include <unicorn/unicorn.h>

#include <stdexcept>
#include <utility>

#include "emulator/unicorn_check.h"

namespace qmxpe {
namespace {

// Selectors into our GDT: ring 0, which is where Unicorn's CPU starts. CS is
// never loaded: Unicorn starts with a flat code segment, which the GDT's
// entry 1 describes again for code that reloads CS.
constexpr uint16_t kDataSelector = 0x10;
constexpr uint16_t kTebSelector = 0x18;

// TEB fields (32-bit layout).
constexpr uint32_t kTebExceptionList = 0x00;
constexpr uint32_t kTebStackBase = 0x04;
constexpr uint32_t kTebStackLimit = 0x08;
constexpr uint32_t kTebSelf = 0x18;
constexpr uint32_t kTebProcessId = 0x20;
constexpr uint32_t kTebThreadId = 0x24;
constexpr uint32_t kTebPeb = 0x30;
constexpr uint32_t kTebLastError = 0x34;

// A segment descriptor: base, limit (in 4 KiB units when the granularity
// flag is set), access byte and the flags nibble.
uint64_t descriptor(uint32_t base, uint32_t limit, uint8_t access, uint8_t flags) {
  uint64_t value = limit & 0xffff;
  value |= uint64_t{base & 0xffffff} << 16;
  value |= uint64_t{access} << 40;
  value |= uint64_t{(limit >> 16) & 0xf} << 48;
  value |= uint64_t{flags & 0xfu} << 52;
  value |= uint64_t{base >> 24} << 56;
  return value;
}

// Why ESP came back at `after` instead of `top`.
std::string stackImbalance(uint32_t top, uint32_t after) {
  const int64_t left = int64_t{top} - after;
  if (left > 0) {
    return std::to_string(left) +
           " bytes of arguments were left on the stack: the function is not stdcall, or takes "
           "fewer arguments";
  }
  return std::to_string(-left) +
         " bytes more than the arguments were removed: the function takes more arguments";
}

uc_struct* openUnicorn() {
  uc_engine* uc = nullptr;
  checkUnicorn(uc_open(UC_ARCH_X86, UC_MODE_32, &uc), "uc_open");
  return uc;
}

}  // namespace

void Emulator::CloseUnicorn::operator()(uc_struct* uc) const {
  uc_close(uc);
}

Emulator::Emulator(uint32_t heapSize) : uc_(openUnicorn()) {
  map(kGdtBase, kPageSize, kProtRead | kProtWrite, "GDT");
  map(kTebBase, kTebSize, kProtRead | kProtWrite, "TEB");
  map(kPebBase, kPageSize, kProtRead | kProtWrite, "PEB");
  map(kStubBase, kStubSize, kProtRead | kProtExec, "import stubs");
  reserve(kTrapBase, kTrapSize, "unimplemented imports");
  map(kDataBase, kDataSize, kProtRead | kProtWrite, "runtime data");
  reserve(kStackGuard, kStackBase - kStackGuard, "stack guard");
  map(kStackBase, kStackSize, kProtRead | kProtWrite, "stack");
  map(kHeapBase, heapSize, kProtRead | kProtWrite, "heap");

  const std::vector<uint8_t> padding(kSentinelPadding, 0xcc);
  load(stubs_.allocate(padding.size()), padding.data(), padding.size());
  setupSegments();
  setupTeb();
  installHooks();
}

void Emulator::setupSegments() {
  // Flat 4 GiB code and data, and a small data segment over the TEB for FS,
  // all with the accessed bit set so the CPU never writes to the table.
  const uint64_t gdt[] = {
      0,
      descriptor(0, 0xfffff, 0x9b, 0xc),
      descriptor(0, 0xfffff, 0x93, 0xc),
      descriptor(kTebBase, kTebSize - 1, 0x93, 0x4),
  };
  load(kGdtBase, gdt, sizeof gdt);
  uc_x86_mmr gdtr{};
  gdtr.base = kGdtBase;
  gdtr.limit = sizeof gdt - 1;
  checkUnicorn(uc_reg_write(uc_.get(), UC_X86_REG_GDTR, &gdtr), "GDTR");
  // Unicorn's initial SS is not a 32-bit segment: SS, DS and ES must hold
  // the flat descriptor before FS is loaded, or pushes become 16-bit.
  for (int segment : {UC_X86_REG_SS, UC_X86_REG_DS, UC_X86_REG_ES}) {
    setReg(segment, kDataSelector);
  }
  setReg(UC_X86_REG_FS, kTebSelector);
}

void Emulator::setupTeb() {
  const uint32_t fields[][2] = {
      {kTebExceptionList, 0xffffffffu},  // the end of the SEH chain
      {kTebStackBase, kStackBase + kStackSize},
      {kTebStackLimit, kStackBase},
      {kTebSelf, kTebBase},
      {kTebProcessId, kProcessId},
      {kTebThreadId, kThreadId},
      {kTebPeb, kPebBase},
  };
  for (const auto& field : fields) {
    load(kTebBase + field[0], &field[1], 4);
  }
}

uint32_t Emulator::allocateData(uint32_t size, uint32_t alignment) {
  const uint32_t address = (nextData_ + alignment - 1) / alignment * alignment;
  if (size > kDataBase + kDataSize - address) {
    throw std::runtime_error("the runtime data region is full");
  }
  nextData_ = address + size;
  return address;
}

uint32_t Emulator::reg(int id) const {
  uint32_t value = 0;
  uc_reg_read(uc_.get(), id, &value);
  return value;
}

void Emulator::setReg(int id, uint32_t value) {
  checkUnicorn(uc_reg_write(uc_.get(), id, &value), "register write");
}

// --- Stubs -----------------------------------------------------------------

uint32_t Emulator::placeInStubRegion(const std::vector<uint8_t>& code) {
  const uint32_t address = stubs_.allocate(code.size());
  load(address, code.data(), code.size());
  // Nothing ran there yet, but a stale translation must never survive a
  // change of code.
  uc_ctl_remove_cache(uc_.get(), uint64_t{address}, uint64_t{address} + code.size());
  return address;
}

uint32_t Emulator::addStub(const std::string& name, CallingConvention convention, int argumentCount,
                           StubHandler handler) {
  std::vector<uint8_t> code;
  const uint32_t bytes = 4 * static_cast<uint32_t>(argumentCount);
  if (convention == CallingConvention::kStdcall && bytes != 0) {
    code = {0xc2, static_cast<uint8_t>(bytes), static_cast<uint8_t>(bytes >> 8)};  // ret N
  } else {
    code = {0xc3};  // ret
  }
  const uint32_t address = placeInStubRegion(code);
  stubs_.addStub(address, name, std::move(handler));
  return address;
}

uint32_t Emulator::addCode(const std::string& name, const std::vector<uint8_t>& code) {
  const uint32_t address = placeInStubRegion(code);
  stubs_.addCode(address, name);
  return address;
}

void Emulator::runStub(StubTable::Stub& stub) {
  const uint32_t esp = reg(UC_X86_REG_ESP);
  StubCall call(*this, esp);
  ++stub.calls;
  auto fail = [&](FaultKind kind, uint32_t address, const std::string& what) {
    std::string caller = "an unreadable stack";
    try {
      caller = describeReturnAddress(read32(esp));
    } catch (const EmulationError&) {
    }
    recordFault(kind, address, what + " in " + stub.name + ", called from " + caller);
    uc_emu_stop(uc_.get());
  };
  try {
    stub.handler(call);
  } catch (const EmulationError& e) {
    fail(e.kind(), e.address(), e.what());
    return;
  } catch (const std::exception& e) {
    fail(FaultKind::kHostError, esp, std::string("host error: ") + e.what());
    return;
  } catch (...) {
    fail(FaultKind::kHostError, esp, "host error");
    return;
  }
  if (call.hasResult_) {
    setReg(UC_X86_REG_EAX, call.eax_);
  }
}

// --- Calls -----------------------------------------------------------------

void Emulator::recordFault(FaultKind kind, uint32_t address, std::string detail) {
  // The first fault is the cause; anything after it is a consequence.
  if (!fault_) {
    fault_ = std::make_unique<Fault>(Fault{kind, address, std::move(detail)});
  }
}

uint32_t Emulator::pushArguments(const std::vector<uint32_t>& args, const std::string& label) {
  // A little room above the first frame, as a thread's start routine has.
  const uint32_t top = kStackBase + kStackSize - 64;
  uint32_t esp = top - 4 * static_cast<uint32_t>(args.size());
  if (args.size() > 1024) {
    throw std::invalid_argument("too many arguments for " + label);
  }
  for (size_t i = 0; i < args.size(); ++i) {
    write32(esp + 4 * static_cast<uint32_t>(i), args[i]);
  }
  esp -= 4;
  write32(esp, kSentinel);
  setReg(UC_X86_REG_ESP, esp);
  return top;
}

uint32_t Emulator::call(uint32_t address, const std::vector<uint32_t>& args,
                        const std::string& label) {
  if (running_) {
    throw std::logic_error("a call into emulated code is already running (" + label + ")");
  }
  const uint32_t top = pushArguments(args, label);
  setReg(UC_X86_REG_EBP, 0);
  setReg(UC_X86_REG_EFLAGS, 0x202);

  fault_.reset();
  running_ = true;
  const uc_err err = uc_emu_start(uc_.get(), address, kSentinel, 0, instructionLimit_);
  running_ = false;
  const uint32_t pc = reg(UC_X86_REG_EIP);

  if (fault_) {
    Fault fault = std::move(*fault_);
    fault_.reset();
    throw EmulationError(fault.kind, fault.address, label + ": " + fault.detail);
  }
  if (err != UC_ERR_OK) {
    const FaultKind kind = err == UC_ERR_INSN_INVALID ? FaultKind::kInvalidInstruction
                           : err == UC_ERR_EXCEPTION  ? FaultKind::kCpuException
                                                      : FaultKind::kAccessViolation;
    const std::string what =
        err == UC_ERR_INSN_INVALID ? std::string("invalid instruction") : uc_strerror(err);
    throw EmulationError(kind, pc, label + ": " + what + " at " + describe(pc));
  }
  if (pc != kSentinel) {
    throw EmulationError(FaultKind::kInstructionLimit, pc,
                         label + ": no return within " + std::to_string(instructionLimit_) +
                             " instructions (an endless loop?); stopped at " + describe(pc));
  }
  const uint32_t after = reg(UC_X86_REG_ESP);
  if (after != top) {
    throw EmulationError(FaultKind::kStackImbalance, after,
                         label + ": stack unbalanced after the return: ESP " + hex32(after) +
                             " instead of " + hex32(top) + " (" + stackImbalance(top, after) + ")");
  }
  return reg(UC_X86_REG_EAX);
}

uint32_t Emulator::lastError() const {
  uint32_t value = 0;
  uc_mem_read(uc_.get(), kTebBase + kTebLastError, &value, 4);
  return value;
}

void Emulator::setLastError(uint32_t value) {
  load(kTebBase + kTebLastError, &value, 4);
}

}  // namespace qmxpe
