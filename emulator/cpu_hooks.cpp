// What Unicorn reports while emulated code runs, turned into the emulator's
// terms: a stub reached runs its handler; an invalid memory access and a
// CPU exception become the fault that ends the call.
#include <unicorn/unicorn.h>

#include <string>
#include <utility>

#include "emulator/emulator.h"
#include "emulator/unicorn_check.h"

namespace qmxpe {
namespace {

const char* cpuExceptionName(uint32_t number) {
  switch (number) {
    case 0:
      return "divide error";
    case 1:
      return "debug trap";
    case 3:
      return "breakpoint (int3)";
    case 4:
      return "overflow trap (into)";
    case 5:
      return "bound range exceeded";
    case 6:
      return "invalid instruction";
    case 7:
      return "no FPU available";
    case 8:
      return "double fault";
    case 10:
      return "invalid TSS";
    case 11:
      return "segment not present";
    case 12:
      return "stack segment fault";
    case 13:
      return "general protection fault";
    case 16:
      return "x87 floating-point exception";
    case 17:
      return "alignment check";
    case 19:
      return "SIMD floating-point exception";
    default:
      return nullptr;
  }
}

}  // namespace

// Unicorn calls these with its own types; they forward to the emulator and
// never let an exception cross Unicorn's C frames.
struct EmulatorHooks {
  static void onCode(uc_engine* /*uc*/, uint64_t address, uint32_t /*size*/, void* data) {
    auto* self = static_cast<Emulator*>(data);
    if (StubTable::Stub* stub = self->stubs_.stubAt(static_cast<uint32_t>(address))) {
      self->runStub(*stub);
      return;
    }
    self->stubs_.countCodeEntry(static_cast<uint32_t>(address));
  }

  static bool onInvalidMemory(uc_engine* /*uc*/, uc_mem_type type, uint64_t address64, int size,
                              int64_t /*value*/, void* data) {
    auto* self = static_cast<Emulator*>(data);
    const auto address = static_cast<uint32_t>(address64);
    try {
      const bool fetch = type == UC_MEM_FETCH_UNMAPPED || type == UC_MEM_FETCH_PROT;
      const bool write = type == UC_MEM_WRITE_UNMAPPED || type == UC_MEM_WRITE_PROT;
      const bool prot =
          type == UC_MEM_READ_PROT || type == UC_MEM_WRITE_PROT || type == UC_MEM_FETCH_PROT;
      if (const std::string* trap = self->stubs_.trapAt(address)) {
        self->recordFault(FaultKind::kUnimplementedImport, address,
                          unimplementedImport(*self, *trap, fetch, write));
        return false;
      }
      std::string detail = "access violation ";
      detail += fetch ? "executing " : write ? "writing " : "reading ";
      detail += hex32(address);
      if (size > 0 && !fetch) {
        detail += " (" + std::to_string(size) + " bytes)";
      }
      if (prot) {
        detail += ", a page with protection " + protectionText(self->pageProtection(address));
      }
      if (address >= Emulator::kStackGuard && address < Emulator::kStackBase) {
        detail += ": stack overflow";
      }
      if (fetch) {
        detail +=
            "; the word on top of the stack is " + self->describeReturnAddress(wordOnStack(*self));
      } else {
        detail += " at " + self->describe(self->reg(UC_X86_REG_EIP));
      }
      self->recordFault(FaultKind::kAccessViolation, address, std::move(detail));
    } catch (...) {
      self->recordFault(FaultKind::kAccessViolation, address,
                        "access violation at " + hex32(address));
    }
    return false;
  }

  static void onInterrupt(uc_engine* uc, uint32_t number, void* data) {
    auto* self = static_cast<Emulator*>(data);
    try {
      const uint32_t pc = self->reg(UC_X86_REG_EIP);
      const char* name = cpuExceptionName(number);
      std::string detail = name != nullptr ? name : "interrupt " + std::to_string(number);
      detail += " at " + self->describe(pc);
      self->recordFault(number == 6 ? FaultKind::kInvalidInstruction : FaultKind::kCpuException, pc,
                        std::move(detail));
    } catch (...) {
      self->recordFault(FaultKind::kCpuException, 0, "interrupt " + std::to_string(number));
    }
    uc_emu_stop(uc);
  }

 private:
  // The word at ESP: the return address, when a call just jumped astray.
  static uint32_t wordOnStack(const Emulator& self) {
    uint32_t word = 0;
    uc_mem_read(self.uc_.get(), self.reg(UC_X86_REG_ESP), &word, 4);
    return word;
  }

  static std::string unimplementedImport(const Emulator& self, const std::string& name, bool fetch,
                                         bool write) {
    if (fetch) {
      return "call of unimplemented import " + name + " from " +
             self.describeReturnAddress(wordOnStack(self));
    }
    return std::string(write ? "write to" : "read of") + " the data of unimplemented import " +
           name + " at " + self.describe(self.reg(UC_X86_REG_EIP));
  }
};

void Emulator::installHooks() {
  uc_hook hook;
  checkUnicorn(
      uc_hook_add(uc_.get(), &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&EmulatorHooks::onCode),
                  this, uint64_t{kStubBase}, uint64_t{kStubBase} + kStubSize - 1),
      "code hook");
  checkUnicorn(uc_hook_add(uc_.get(), &hook, UC_HOOK_MEM_INVALID,
                           reinterpret_cast<void*>(&EmulatorHooks::onInvalidMemory), this,
                           uint64_t{1}, uint64_t{0}),
               "memory hook");
  checkUnicorn(uc_hook_add(uc_.get(), &hook, UC_HOOK_INTR,
                           reinterpret_cast<void*>(&EmulatorHooks::onInterrupt), this, uint64_t{1},
                           uint64_t{0}),
               "interrupt hook");
}

}  // namespace qmxpe
