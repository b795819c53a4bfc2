#include "emulator/emulator.h"

#include <unicorn/unicorn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

namespace qmxpe {
namespace {

constexpr uint8_t kMappedBit = 0x80;
constexpr uint32_t kStubSlot = 8;
constexpr uint32_t kTrapSlot = 16;
// The return address every call from the host pushes; it is never executed.
// Unwinders read the code around a return address (libgcc's looks for
// signal trampolines there), so it sits amid readable int3 padding.
constexpr uint32_t kSentinel = Emulator::kStubBase + 16;
constexpr uint32_t kSentinelPadding = 32;

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

std::string hexOffset(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

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

void check(uc_err err, const char* what) {
  if (err != UC_ERR_OK) {
    throw std::runtime_error(std::string("unicorn: ") + what + ": " + uc_strerror(err));
  }
}

std::string protectionText(uint32_t protection) {
  std::string text;
  text += (protection & kProtRead) != 0 ? 'r' : '-';
  text += (protection & kProtWrite) != 0 ? 'w' : '-';
  text += (protection & kProtExec) != 0 ? 'x' : '-';
  return text;
}

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

std::string hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

// Unicorn calls these with its own types; they forward to the emulator and
// never let an exception cross Unicorn's C frames.
struct EmulatorHooks {
  static void onCode(uc_engine* /*uc*/, uint64_t address, uint32_t /*size*/, void* data) {
    auto* self = static_cast<Emulator*>(data);
    auto found = self->stubs_.find(static_cast<uint32_t>(address));
    if (found != self->stubs_.end()) {
      self->runStub(found->second);
      return;
    }
    auto code = self->code_.find(static_cast<uint32_t>(address));
    if (code != self->code_.end()) {
      ++code->second.calls;
    }
  }

  static bool onInvalidMemory(uc_engine* /*uc*/, uc_mem_type type, uint64_t address64, int size,
                              int64_t /*value*/, void* data) {
    auto* self = static_cast<Emulator*>(data);
    const auto address = static_cast<uint32_t>(address64);
    try {
      const uint32_t pc = self->reg(UC_X86_REG_EIP);
      const bool fetch = type == UC_MEM_FETCH_UNMAPPED || type == UC_MEM_FETCH_PROT;
      const bool write = type == UC_MEM_WRITE_UNMAPPED || type == UC_MEM_WRITE_PROT;
      const bool prot =
          type == UC_MEM_READ_PROT || type == UC_MEM_WRITE_PROT || type == UC_MEM_FETCH_PROT;

      auto trap = self->traps_.upper_bound(address);
      if (address >= Emulator::kTrapBase && address < Emulator::kTrapBase + Emulator::kTrapSize &&
          trap != self->traps_.begin() && address - std::prev(trap)->first < kTrapSlot) {
        const std::string& name = std::prev(trap)->second;
        std::string detail;
        if (fetch) {
          uint32_t returnAddress = 0;
          uc_mem_read(self->uc_, self->reg(UC_X86_REG_ESP), &returnAddress, 4);
          detail = "call of unimplemented import " + name + " from " +
                   self->describeReturnAddress(returnAddress);
        } else {
          detail = std::string(write ? "write to" : "read of") +
                   " the data of unimplemented import " + name + " at " + self->describe(pc);
        }
        self->recordFault(FaultKind::kUnimplementedImport, address, std::move(detail));
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
        uint32_t returnAddress = 0;
        uc_mem_read(self->uc_, self->reg(UC_X86_REG_ESP), &returnAddress, 4);
        detail += "; the word on top of the stack is " + self->describeReturnAddress(returnAddress);
      } else {
        detail += " at " + self->describe(pc);
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
};

uint32_t StubCall::arg(int index) const {
  return emulator_.read32(esp_ + 4 + 4 * static_cast<uint32_t>(index));
}

uint32_t StubCall::returnAddress() const {
  return emulator_.read32(esp_);
}

Emulator::Emulator(uint32_t heapSize) {
  check(uc_open(UC_ARCH_X86, UC_MODE_32, &uc_), "uc_open");
  pageProtection_.assign(size_t{1} << 20, 0);
  try {
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
    load(kStubBase, padding.data(), padding.size());
    setupSegments();
    setupTeb();

    uc_hook hook;
    check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(&EmulatorHooks::onCode),
                      this, uint64_t{kStubBase}, uint64_t{kStubBase} + kStubSize - 1),
          "code hook");
    check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID,
                      reinterpret_cast<void*>(&EmulatorHooks::onInvalidMemory), this, uint64_t{1},
                      uint64_t{0}),
          "memory hook");
    check(
        uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(&EmulatorHooks::onInterrupt),
                    this, uint64_t{1}, uint64_t{0}),
        "interrupt hook");
  } catch (...) {
    uc_close(uc_);
    throw;
  }
}

Emulator::~Emulator() {
  uc_close(uc_);
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
  check(uc_reg_write(uc_, UC_X86_REG_GDTR, &gdtr), "GDTR");
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

uint32_t Emulator::reg(int id) const {
  uint32_t value = 0;
  uc_reg_read(uc_, id, &value);
  return value;
}

void Emulator::setReg(int id, uint32_t value) {
  check(uc_reg_write(uc_, id, &value), "register write");
}

// --- Address space -----------------------------------------------------------

void Emulator::map(uint32_t address, uint32_t size, uint32_t protection, const std::string& name) {
  if (size == 0 || address % kPageSize != 0 || size % kPageSize != 0 ||
      uint64_t{address} + size > 0x100000000ull) {
    throw std::runtime_error("cannot map " + name + ": bad range " + hex32(address) + "+" +
                             hexOffset(size));
  }
  if (const Region* taken = overlapping(address, size)) {
    throw std::runtime_error("cannot map " + name + " at " + hex32(address) + ": " + taken->name +
                             " is there");
  }
  check(uc_mem_map(uc_, address, size, protection), ("mapping " + name).c_str());
  regions_[address] = Region{size, name, true};
  for (uint32_t page = address / kPageSize; page < (uint64_t{address} + size) / kPageSize; ++page) {
    pageProtection_[page] = static_cast<uint8_t>(kMappedBit | protection);
  }
}

void Emulator::reserve(uint32_t address, uint32_t size, const std::string& name) {
  if (size == 0 || uint64_t{address} + size > 0x100000000ull) {
    throw std::runtime_error("cannot reserve " + name + ": bad range " + hex32(address) + "+" +
                             hexOffset(size));
  }
  if (const Region* taken = overlapping(address, size)) {
    throw std::runtime_error("cannot reserve " + hex32(address) + "+" + hexOffset(size) + " for " +
                             name + ": " + taken->name + " is there");
  }
  regions_[address] = Region{size, name, false};
}

bool Emulator::protect(uint32_t address, uint32_t size, uint32_t protection) {
  const uint32_t first = address / kPageSize;
  const uint64_t end = (uint64_t{address} + size + kPageSize - 1) / kPageSize;
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
  for (uint64_t page = first; page < end; ++page) {
    pageProtection_[page] = static_cast<uint8_t>(kMappedBit | protection);
  }
  return true;
}

bool Emulator::isFree(uint32_t address, uint32_t size) const {
  const uint64_t end = uint64_t{address} + size;
  if (size == 0 || address < 0x10000 || end > kUserSpaceEnd) {
    return false;
  }
  return overlapping(address, size) == nullptr;
}

const Emulator::Region* Emulator::overlapping(uint32_t address, uint64_t size) const {
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

uint32_t Emulator::findFree(uint32_t size, uint32_t alignment, uint32_t from) const {
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

uint32_t Emulator::pageProtection(uint32_t address) const {
  return pageProtection_[address / kPageSize] & kProtAll;
}

bool Emulator::isMapped(uint32_t address) const {
  return (pageProtection_[address / kPageSize] & kMappedBit) != 0;
}

const Emulator::Region* Emulator::regionOf(uint32_t address, uint32_t* begin) const {
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

std::pair<uint32_t, uint32_t> Emulator::allocationOf(uint32_t address) const {
  uint32_t begin = 0;
  const Region* region = regionOf(address, &begin);
  if (region == nullptr || !region->mapped) {
    return {0, 0};
  }
  return {begin, region->size};
}

// --- Memory access -------------------------------------------------------------

void Emulator::checkAccess(uint32_t address, size_t size, uint32_t needed, const char* verb) const {
  if (size == 0) {
    return;
  }
  const uint64_t last = uint64_t{address} + size - 1;
  if (last > UINT32_MAX) {
    throw EmulationError(FaultKind::kAccessViolation, address,
                         std::string("access violation ") + verb + " " + hex32(address) + " (" +
                             std::to_string(size) + " bytes past the end of the address space)");
  }
  for (uint64_t page = address / kPageSize; page <= last / kPageSize; ++page) {
    const uint8_t bits = pageProtection_[page];
    if ((bits & kMappedBit) == 0 || (bits & needed) != needed) {
      const uint32_t at = std::max<uint32_t>(address, static_cast<uint32_t>(page * kPageSize));
      std::string message = std::string("access violation ") + verb + " " + hex32(at);
      if ((bits & kMappedBit) != 0) {
        message += ", a page with protection " + protectionText(bits & kProtAll);
      } else {
        message += " (" + describe(at) + ")";
      }
      throw EmulationError(FaultKind::kAccessViolation, at, message);
    }
  }
}

void Emulator::read(uint32_t address, void* out, size_t size) const {
  checkAccess(address, size, kProtRead, "reading");
  if (size != 0) {
    check(uc_mem_read(uc_, address, out, size), "memory read");
  }
}

void Emulator::write(uint32_t address, const void* data, size_t size) {
  checkAccess(address, size, kProtWrite, "writing");
  if (size != 0) {
    check(uc_mem_write(uc_, address, data, size), "memory write");
  }
}

void Emulator::load(uint32_t address, const void* data, size_t size) {
  checkAccess(address, size, kProtNone, "loading at");
  if (size != 0) {
    check(uc_mem_write(uc_, address, data, size), "memory write");
  }
}

uint8_t Emulator::read8(uint32_t address) const {
  uint8_t value;
  read(address, &value, 1);
  return value;
}

uint16_t Emulator::read16(uint32_t address) const {
  uint16_t value;
  read(address, &value, 2);
  return value;
}

uint32_t Emulator::read32(uint32_t address) const {
  uint32_t value;
  read(address, &value, 4);
  return value;
}

uint32_t Emulator::boundedLength(uint32_t address, uint32_t limit) const {
  char chunk[256];
  uint32_t length = 0;
  while (length < limit) {
    const uint32_t at = address + length;
    // Never read past the page: the text may end just before unmapped memory.
    const uint32_t size = std::min<uint32_t>(
        {static_cast<uint32_t>(sizeof chunk), kPageSize - at % kPageSize, limit - length});
    read(at, chunk, size);
    const void* nul = std::memchr(chunk, 0, size);
    if (nul != nullptr) {
      return length + static_cast<uint32_t>(static_cast<const char*>(nul) - chunk);
    }
    length += size;
  }
  return limit;
}

void Emulator::move(uint32_t destination, uint32_t source, uint32_t size) {
  checkAccess(source, size, kProtRead, "reading");
  checkAccess(destination, size, kProtWrite, "writing");
  std::vector<uint8_t> buffer(std::min<uint32_t>(size, 1u << 16));
  // Chunks go front to back unless the destination overlaps the source's
  // tail, as memmove must.
  const bool backwards = destination > source && destination - source < size;
  for (uint32_t done = 0; done < size;) {
    const uint32_t chunk = std::min<uint32_t>(static_cast<uint32_t>(buffer.size()), size - done);
    const uint32_t offset = backwards ? size - done - chunk : done;
    check(uc_mem_read(uc_, source + offset, buffer.data(), chunk), "memory read");
    check(uc_mem_write(uc_, destination + offset, buffer.data(), chunk), "memory write");
    done += chunk;
  }
}

void Emulator::fill(uint32_t destination, uint8_t value, uint32_t size) {
  checkAccess(destination, size, kProtWrite, "writing");
  const std::vector<uint8_t> buffer(std::min<uint32_t>(size, 1u << 16), value);
  for (uint32_t done = 0; done < size;) {
    const uint32_t chunk = std::min<uint32_t>(static_cast<uint32_t>(buffer.size()), size - done);
    check(uc_mem_write(uc_, destination + done, buffer.data(), chunk), "memory write");
    done += chunk;
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

uint32_t Emulator::stringLength(uint32_t address, size_t limit) const {
  const auto bound = static_cast<uint32_t>(std::min<size_t>(limit, UINT32_MAX));
  const uint32_t length = boundedLength(address, bound);
  if (length == bound) {
    throw EmulationError(FaultKind::kHostError, address,
                         "the text at " + hex32(address) + " is not terminated within " +
                             std::to_string(bound) + " bytes");
  }
  return length;
}

std::string Emulator::readString(uint32_t address, size_t limit) const {
  const uint32_t length = stringLength(address, limit);
  std::string text(length, '\0');
  read(address, text.data(), length);
  return text;
}

std::u16string Emulator::readWideString(uint32_t address, size_t limit) const {
  std::u16string text;
  for (uint32_t at = address;; at += 2) {
    if (text.size() >= limit) {
      throw EmulationError(FaultKind::kHostError, address,
                           "the wide text at " + hex32(address) + " is not terminated within " +
                               std::to_string(limit) + " units");
    }
    const uint16_t unit = read16(at);
    if (unit == 0) {
      return text;
    }
    text.push_back(static_cast<char16_t>(unit));
  }
}

// --- Stubs ---------------------------------------------------------------------

uint32_t Emulator::placeInStubRegion(const std::vector<uint8_t>& code) {
  const uint32_t size =
      static_cast<uint32_t>((code.size() + kStubSlot - 1) / kStubSlot * kStubSlot);
  if (size == 0 || nextStub_ + size > kStubBase + kStubSize) {
    throw std::runtime_error("the stub region is full");
  }
  const uint32_t address = nextStub_;
  nextStub_ += size;
  load(address, code.data(), code.size());
  // Nothing ran there yet, but a stale translation must never survive a
  // change of code.
  uc_ctl_remove_cache(uc_, uint64_t{address}, uint64_t{address} + size);
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
  stubs_[address] = Stub{name, std::move(handler), 0};
  return address;
}

uint32_t Emulator::addCode(const std::string& name, const std::vector<uint8_t>& code) {
  const uint32_t address = placeInStubRegion(code);
  code_[address] = Code{name, 0};
  return address;
}

uint32_t Emulator::addTrap(const std::string& name) {
  if (nextTrap_ + kTrapSlot > kTrapBase + kTrapSize) {
    throw std::runtime_error("too many unimplemented imports");
  }
  const uint32_t address = nextTrap_;
  nextTrap_ += kTrapSlot;
  traps_[address] = name;
  return address;
}

std::map<std::string, uint64_t> Emulator::stubCallCounts() const {
  std::map<std::string, uint64_t> counts;
  for (const auto& entry : stubs_) {
    counts[entry.second.name] += entry.second.calls;
  }
  for (const auto& entry : code_) {
    counts[entry.second.name] += entry.second.calls;
  }
  return counts;
}

void Emulator::runStub(Stub& stub) {
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
    uc_emu_stop(uc_);
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

void Emulator::recordFault(FaultKind kind, uint32_t address, std::string detail) {
  // The first fault is the cause; anything after it is a consequence.
  if (!fault_) {
    fault_ = std::make_unique<Fault>(Fault{kind, address, std::move(detail)});
  }
}

void Emulator::addModule(const std::string& name, uint32_t base, uint32_t size,
                         std::vector<std::pair<uint32_t, std::string>> symbols) {
  Module module{name, base, size, {}};
  for (auto& symbol : symbols) {
    module.symbols.emplace(symbol.first, std::move(symbol.second));
  }
  modules_.push_back(std::move(module));
}

std::string Emulator::where(uint32_t address, bool afterCall, bool withRva) const {
  if (address == kSentinel) {
    return "the host's return address";
  }
  if (auto stub = stubs_.find(address); stub != stubs_.end()) {
    return stub->second.name;
  }
  auto trap = traps_.upper_bound(address);
  if (trap != traps_.begin() && address - std::prev(trap)->first < kTrapSlot &&
      address >= kTrapBase && address < kTrapBase + kTrapSize) {
    return "unimplemented import " + std::prev(trap)->second;
  }
  // A return address may be the first byte after a function that ends in
  // a call; the call itself belongs to the byte before.
  const uint32_t lookup = afterCall && address != 0 ? address - 1 : address;
  if (lookup > kStubBase && lookup < kStubBase + kStubSize) {
    auto code = code_.upper_bound(lookup);
    if (code != code_.begin()) {
      --code;
      return code->second.name + "+" + hexOffset(address - code->first);
    }
  }
  for (const Module& module : modules_) {
    if (lookup < module.base || lookup - module.base >= module.size) {
      continue;
    }
    std::string text = module.name;
    auto symbol = module.symbols.upper_bound(lookup);
    if (symbol != module.symbols.begin()) {
      --symbol;
      text += "!" + symbol->second;
      if (address != symbol->first) {
        text += "+" + hexOffset(address - symbol->first);
      }
      if (withRva) {
        text += ", RVA " + hexOffset(address - module.base);
      }
    } else {
      text += "+" + hexOffset(address - module.base);
    }
    return text;
  }
  uint32_t begin = 0;
  const Region* region = regionOf(address, &begin);
  if (region == nullptr) {
    return "unmapped memory";
  }
  return region->name + "+" + hexOffset(address - begin) + (region->mapped ? "" : ", not mapped");
}

std::string Emulator::symbolAt(uint32_t address) const {
  return where(address, false, false);
}

std::string Emulator::describe(uint32_t address) const {
  return hex32(address) + " (" + where(address, false, true) + ")";
}

std::string Emulator::describeReturnAddress(uint32_t address) const {
  return hex32(address) + " (" + where(address, true, true) + ")";
}

// --- Calls ---------------------------------------------------------------------

uint32_t Emulator::call(uint32_t address, const std::vector<uint32_t>& args,
                        const std::string& label) {
  if (running_) {
    throw std::logic_error("a call into emulated code is already running (" + label + ")");
  }
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
  setReg(UC_X86_REG_EBP, 0);
  setReg(UC_X86_REG_EFLAGS, 0x202);

  fault_.reset();
  running_ = true;
  const uc_err err = uc_emu_start(uc_, address, kSentinel, 0, instructionLimit_);
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
    const int64_t left = int64_t{top} - after;
    std::string why = left > 0 ? std::to_string(left) +
                                     " bytes of arguments were left on the stack: the function "
                                     "is not stdcall, or takes fewer arguments"
                               : std::to_string(-left) +
                                     " bytes more than the arguments were removed: the function "
                                     "takes more arguments";
    throw EmulationError(FaultKind::kStackImbalance, after,
                         label + ": stack unbalanced after the return: ESP " + hex32(after) +
                             " instead of " + hex32(top) + " (" + why + ")");
  }
  return reg(UC_X86_REG_EAX);
}

uint32_t Emulator::lastError() const {
  uint32_t value = 0;
  uc_mem_read(uc_, kTebBase + kTebLastError, &value, 4);
  return value;
}

void Emulator::setLastError(uint32_t value) {
  load(kTebBase + kTebLastError, &value, 4);
}

}  // namespace qmxpe
