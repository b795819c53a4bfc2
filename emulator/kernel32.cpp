#include "emulator/kernel32.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "emulator/text_codec.h"

namespace qmxpe {
namespace {

constexpr uint32_t kTrue = 1;
constexpr uint32_t kFalse = 0;

// CRITICAL_SECTION fields (32-bit layout).
constexpr uint32_t kCsLockCount = 4;
constexpr uint32_t kCsRecursionCount = 8;
constexpr uint32_t kCsOwningThread = 12;
constexpr uint32_t kCriticalSectionSize = 24;

constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 0x102;
constexpr uint32_t kWaitFailed = 0xffffffffu;
constexpr uint32_t kInfinite = 0xffffffffu;
constexpr uint32_t kTlsOutOfIndexes = 0xffffffffu;

constexpr uint32_t kMemoryBasicInformationSize = 28;
constexpr uint32_t kMemCommit = 0x1000;
constexpr uint32_t kMemFree = 0x10000;
constexpr uint32_t kMemPrivate = 0x20000;
constexpr uint32_t kMemImage = 0x1000000;

constexpr uint32_t kMbErrInvalidChars = 0x8;

uint32_t toWindowsProtection(uint32_t protection) {
  const bool read = (protection & kProtRead) != 0;
  const bool write = (protection & kProtWrite) != 0;
  if ((protection & kProtExec) != 0) {
    return write ? 0x40 : read ? 0x20 : 0x10;
  }
  return write ? 0x04 : read ? 0x02 : 0x01;
}

std::optional<uint32_t> fromWindowsProtection(uint32_t protection) {
  // PAGE_GUARD, PAGE_NOCACHE and PAGE_WRITECOMBINE change nothing here.
  switch (protection & ~0x700u) {
    case 0x01:
      return kProtNone;
    case 0x02:
      return kProtRead;
    case 0x04:
    case 0x08:
      return kProtRead | kProtWrite;
    case 0x10:
    case 0x20:
      return kProtRead | kProtExec;
    case 0x40:
    case 0x80:
      return kProtAll;
    default:
      return std::nullopt;
  }
}

std::string lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

}  // namespace

Kernel32::Kernel32(Emulator& emulator)
    : emulator_(emulator), tlsUsed_(kTlsSlots, false), tlsValues_(kTlsSlots, 0) {}

void Kernel32::setModule(const PeImage* image, uint32_t base, const std::string& fileName) {
  image_ = image;
  base_ = base;
  fileName_ = fileName;
}

uint32_t Kernel32::fail(uint32_t error, uint32_t result) {
  emulator_.setLastError(error);
  return result;
}

uint32_t Kernel32::moduleHandle(const std::string* name) const {
  if (name == nullptr) {
    return base_;
  }
  std::string wanted = *name;
  const size_t slash = wanted.find_last_of("\\/");
  if (slash != std::string::npos) {
    wanted = wanted.substr(slash + 1);
  }
  // As LoadLibrary: no extension means ".dll"; a trailing dot means none.
  if (!wanted.empty() && wanted.back() == '.') {
    wanted.pop_back();
  } else if (wanted.find('.') == std::string::npos) {
    wanted += ".dll";
  }
  return !fileName_.empty() && lower(wanted) == lower(fileName_) ? base_ : 0;
}

uint32_t Kernel32::procAddress(uint32_t module, uint32_t nameOrOrdinal) const {
  if (module == 0 || module != base_ || image_ == nullptr) {
    emulator_.setLastError(kErrorModNotFound);
    return 0;
  }
  const PeExport* found = nullptr;
  if (nameOrOrdinal < 0x10000) {
    found = image_->findExport(static_cast<uint16_t>(nameOrOrdinal));
  } else {
    found = image_->findExport(emulator_.readString(nameOrOrdinal, 4096));
  }
  // A forwarder names another DLL, and there is no other DLL.
  if (found == nullptr || !found->forwarder.empty()) {
    emulator_.setLastError(kErrorProcNotFound);
    return 0;
  }
  return base_ + found->rva;
}

uint32_t Kernel32::virtualQuery(uint32_t address, uint32_t info, uint32_t length) {
  if (length < kMemoryBasicInformationSize) {
    return fail(kErrorBadLength);
  }
  if (address >= Emulator::kUserSpaceEnd) {
    return fail(kErrorInvalidParameter);
  }
  const uint32_t page = address & ~(Emulator::kPageSize - 1);
  const bool mapped = emulator_.isMapped(page);
  const uint32_t protection = emulator_.pageProtection(page);
  const auto allocation = emulator_.allocationOf(page);
  // The region runs on while the pages share state and allocation.
  uint32_t end = page + Emulator::kPageSize;
  while (end < Emulator::kUserSpaceEnd && emulator_.isMapped(end) == mapped &&
         (!mapped || (emulator_.pageProtection(end) == protection &&
                      emulator_.allocationOf(end) == allocation))) {
    end += Emulator::kPageSize;
  }
  const bool inImage = image_ != nullptr && page >= base_ && page - base_ < image_->sizeOfImage();
  const uint32_t fields[7] = {
      page,
      mapped ? allocation.first : 0,
      mapped ? toWindowsProtection(emulator_.pageProtection(allocation.first)) : 0,
      end - page,
      mapped ? kMemCommit : kMemFree,
      mapped ? toWindowsProtection(protection) : 0x01,
      mapped ? (inImage ? kMemImage : kMemPrivate) : 0,
  };
  emulator_.write(info, fields, sizeof fields);
  return kMemoryBasicInformationSize;
}

uint32_t Kernel32::virtualProtect(uint32_t address, uint32_t size, uint32_t protection,
                                  uint32_t oldProtection) {
  const std::optional<uint32_t> wanted = fromWindowsProtection(protection);
  if (!wanted) {
    return fail(kErrorInvalidParameter, kFalse);
  }
  if (oldProtection == 0) {
    return fail(kErrorNoAccess, kFalse);
  }
  const uint32_t previous = toWindowsProtection(emulator_.pageProtection(address));
  if (size == 0 || !emulator_.protect(address, size, *wanted)) {
    return fail(kErrorInvalidAddress, kFalse);
  }
  emulator_.write32(oldProtection, previous);
  return kTrue;
}

uint32_t Kernel32::multiByteToWideChar(const StubCall& call) {
  const std::optional<CodePage> page = codePageFor(call.arg(0));
  const uint32_t flags = call.arg(1);
  const uint32_t source = call.arg(2);
  const auto sourceLength = static_cast<int32_t>(call.arg(3));
  const uint32_t target = call.arg(4);
  const auto targetLength = static_cast<int32_t>(call.arg(5));
  if (!page || source == 0 || sourceLength == 0 || sourceLength < -1 || targetLength < 0 ||
      (target == 0 && targetLength != 0)) {
    return fail(kErrorInvalidParameter);
  }
  std::string bytes;
  if (sourceLength == -1) {
    bytes = emulator_.readString(source);
    bytes += '\0';  // the terminator is converted too
  } else {
    bytes.resize(static_cast<size_t>(sourceLength));
    emulator_.read(source, bytes.data(), bytes.size());
  }
  const std::optional<std::u16string> text =
      decode(*page, bytes, (flags & kMbErrInvalidChars) != 0);
  if (!text) {
    return fail(kErrorNoUnicodeTranslation);
  }
  const auto length = static_cast<uint32_t>(text->size());
  if (targetLength == 0) {
    return length;
  }
  if (length > static_cast<uint32_t>(targetLength)) {
    return fail(kErrorInsufficientBuffer);
  }
  emulator_.write(target, text->data(), 2 * text->size());
  return length;
}

uint32_t Kernel32::wideCharToMultiByte(const StubCall& call) {
  const std::optional<CodePage> page = codePageFor(call.arg(0));
  const uint32_t source = call.arg(2);
  const auto sourceLength = static_cast<int32_t>(call.arg(3));
  const uint32_t target = call.arg(4);
  const auto targetLength = static_cast<int32_t>(call.arg(5));
  const uint32_t defaultChar = call.arg(6);
  const uint32_t usedDefault = call.arg(7);
  if (!page || source == 0 || sourceLength == 0 || sourceLength < -1 || targetLength < 0 ||
      (target == 0 && targetLength != 0) ||
      (*page == CodePage::kUtf8 && (defaultChar != 0 || usedDefault != 0))) {
    return fail(kErrorInvalidParameter);
  }
  std::u16string text;
  if (sourceLength == -1) {
    text = emulator_.readWideString(source);
    text += u'\0';
  } else {
    text.resize(static_cast<size_t>(sourceLength));
    emulator_.read(source, text.data(), 2 * text.size());
  }
  const char replacement = defaultChar != 0 ? static_cast<char>(emulator_.read8(defaultChar)) : '?';
  const Encoded encoded = encode(*page, text, replacement);
  const auto length = static_cast<uint32_t>(encoded.bytes.size());
  if (targetLength != 0) {
    if (length > static_cast<uint32_t>(targetLength)) {
      return fail(kErrorInsufficientBuffer);
    }
    emulator_.write(target, encoded.bytes.data(), encoded.bytes.size());
  }
  if (usedDefault != 0) {
    emulator_.write32(usedDefault, encoded.usedDefault ? kTrue : kFalse);
  }
  return length;
}

std::string Kernel32::moduleNameAt(uint32_t address, bool wide) const {
  if (wide) {
    return encode(CodePage::kWindows1250, emulator_.readWideString(address, 4096), '?').bytes;
  }
  return emulator_.readString(address, 4096);
}

uint32_t Kernel32::moduleNamedAt(uint32_t address, bool wide) {
  const std::string name = moduleNameAt(address, wide);
  const uint32_t handle = moduleHandle(&name);
  return handle != 0 ? handle : fail(kErrorModNotFound);
}

uint32_t Kernel32::tlsAlloc() {
  auto free = std::find(tlsUsed_.begin(), tlsUsed_.end(), false);
  if (free == tlsUsed_.end()) {
    return kTlsOutOfIndexes;
  }
  *free = true;
  const auto index = static_cast<size_t>(free - tlsUsed_.begin());
  tlsValues_[index] = 0;
  return static_cast<uint32_t>(index);
}

uint32_t Kernel32::createSemaphore(int32_t initial, int32_t maximum) {
  if (maximum <= 0 || initial < 0 || initial > maximum) {
    return fail(kErrorInvalidParameter);
  }
  const uint32_t handle = nextHandle_;
  nextHandle_ += 4;
  semaphores_[handle] = Semaphore{initial, maximum};
  emulator_.setLastError(0);
  return handle;
}

uint32_t Kernel32::releaseSemaphore(uint32_t handle, int32_t release, uint32_t previousCount) {
  auto found = semaphores_.find(handle);
  if (found == semaphores_.end()) {
    return fail(kErrorInvalidHandle, kFalse);
  }
  Semaphore& semaphore = found->second;
  if (release <= 0 || release > semaphore.maximum - semaphore.count) {
    return fail(kErrorTooManyPosts, kFalse);
  }
  if (previousCount != 0) {
    emulator_.write32(previousCount, static_cast<uint32_t>(semaphore.count));
  }
  semaphore.count += release;
  return kTrue;
}

uint32_t Kernel32::waitForSingleObject(uint32_t handle, uint32_t milliseconds) {
  auto found = semaphores_.find(handle);
  if (found == semaphores_.end()) {
    return fail(kErrorInvalidHandle, kWaitFailed);
  }
  if (found->second.count > 0) {
    --found->second.count;
    return kWaitObject0;
  }
  // No other thread exists to release it: a finite wait times out at once,
  // an infinite one would never end.
  if (milliseconds == kInfinite) {
    throw EmulationError(FaultKind::kAbort, handle,
                         "deadlock: an infinite wait on semaphore " + std::to_string(handle) +
                             " that no other thread can release");
  }
  return kWaitTimeout;
}

void Kernel32::registerImports(ImportRegistry& registry) {
  const DllFunctions functions(registry, kDll, CallingConvention::kStdcall);
  addCriticalSections(functions);
  addThreadLocalStorage(functions);
  addThreadState(functions);
  addModules(functions);
  addSemaphores(functions);
  addMemoryAndCodePages(functions);
}

// One thread: a critical section is never contended. The fields are kept as
// Windows keeps them, for code that looks at the owner.
void Kernel32::addCriticalSections(const DllFunctions& functions) {
  Emulator& e = emulator_;
  functions.add("InitializeCriticalSection", 1, [&e](StubCall& c) {
    const uint32_t fields[kCriticalSectionSize / 4] = {0, 0xffffffffu, 0, 0, 0, 0};
    e.write(c.arg(0), fields, sizeof fields);
  });
  functions.add("EnterCriticalSection", 1, [&e](StubCall& c) {
    const uint32_t cs = c.arg(0);
    e.write32(cs + kCsLockCount, e.read32(cs + kCsLockCount) + 1);
    e.write32(cs + kCsRecursionCount, e.read32(cs + kCsRecursionCount) + 1);
    e.write32(cs + kCsOwningThread, Emulator::kThreadId);
  });
  functions.add("LeaveCriticalSection", 1, [&e](StubCall& c) {
    const uint32_t cs = c.arg(0);
    const uint32_t recursion = e.read32(cs + kCsRecursionCount);
    if (recursion == 0) {
      return;  // not entered: Windows' behaviour is undefined; leave it be
    }
    e.write32(cs + kCsLockCount, e.read32(cs + kCsLockCount) - 1);
    e.write32(cs + kCsRecursionCount, recursion - 1);
    if (recursion == 1) {
      e.write32(cs + kCsOwningThread, 0);
    }
  });
  functions.add("DeleteCriticalSection", 1,
                [&e](StubCall& c) { e.fill(c.arg(0), 0, kCriticalSectionSize); });
}

void Kernel32::addThreadLocalStorage(const DllFunctions& functions) {
  functions.add("TlsAlloc", 0, [this](StubCall& c) { c.setResult(tlsAlloc()); });
  functions.add("TlsFree", 1, [this](StubCall& c) {
    const uint32_t index = c.arg(0);
    if (index >= kTlsSlots || !tlsUsed_[index]) {
      c.setResult(fail(kErrorInvalidParameter, kFalse));
      return;
    }
    tlsUsed_[index] = false;
    tlsValues_[index] = 0;
    c.setResult(kTrue);
  });
  functions.add("TlsGetValue", 1, [this](StubCall& c) {
    const uint32_t index = c.arg(0);
    if (index >= kTlsSlots) {
      c.setResult(fail(kErrorInvalidParameter));
      return;
    }
    // Success clears the last error, so that a stored 0 can be told apart.
    emulator_.setLastError(0);
    c.setResult(tlsValues_[index]);
  });
  functions.add("TlsSetValue", 2, [this](StubCall& c) {
    const uint32_t index = c.arg(0);
    if (index >= kTlsSlots) {
      c.setResult(fail(kErrorInvalidParameter, kFalse));
      return;
    }
    tlsValues_[index] = c.arg(1);
    c.setResult(kTrue);
  });
}

void Kernel32::addThreadState(const DllFunctions& functions) {
  Emulator& e = emulator_;
  functions.add("GetLastError", 0, [&e](StubCall& c) { c.setResult(e.lastError()); });
  functions.add("SetLastError", 1, [&e](StubCall& c) { e.setLastError(c.arg(0)); });
  functions.add("GetCurrentThreadId", 0, [](StubCall& c) { c.setResult(Emulator::kThreadId); });
  functions.add("Sleep", 1, [](StubCall&) {});
}

void Kernel32::addModules(const DllFunctions& functions) {
  for (const bool wide : {false, true}) {
    // A null name is the module itself for GetModuleHandle, an error for
    // LoadLibrary.
    functions.add(wide ? "GetModuleHandleW" : "GetModuleHandleA", 1, [this, wide](StubCall& c) {
      c.setResult(c.arg(0) == 0 ? moduleHandle(nullptr) : moduleNamedAt(c.arg(0), wide));
    });
    functions.add(wide ? "LoadLibraryW" : "LoadLibraryA", 1, [this, wide](StubCall& c) {
      c.setResult(c.arg(0) == 0 ? fail(kErrorInvalidParameter) : moduleNamedAt(c.arg(0), wide));
    });
  }
  functions.add("GetProcAddress", 2,
                [this](StubCall& c) { c.setResult(procAddress(c.arg(0), c.arg(1))); });
  // The module stays loaded for as long as the host holds it.
  functions.add("FreeLibrary", 1, [this](StubCall& c) {
    c.setResult(c.arg(0) != 0 && c.arg(0) == base_ ? kTrue : fail(kErrorInvalidHandle, kFalse));
  });
}

void Kernel32::addSemaphores(const DllFunctions& functions) {
  functions.add("CreateSemaphoreW", 4, [this](StubCall& c) {
    c.setResult(createSemaphore(static_cast<int32_t>(c.arg(1)), static_cast<int32_t>(c.arg(2))));
  });
  functions.add("ReleaseSemaphore", 3, [this](StubCall& c) {
    c.setResult(releaseSemaphore(c.arg(0), static_cast<int32_t>(c.arg(1)), c.arg(2)));
  });
  functions.add("WaitForSingleObject", 2,
                [this](StubCall& c) { c.setResult(waitForSingleObject(c.arg(0), c.arg(1))); });
  functions.add("CloseHandle", 1, [this](StubCall& c) {
    c.setResult(semaphores_.erase(c.arg(0)) != 0 ? kTrue : fail(kErrorInvalidHandle, kFalse));
  });
}

void Kernel32::addMemoryAndCodePages(const DllFunctions& functions) {
  functions.add("VirtualQuery", 3,
                [this](StubCall& c) { c.setResult(virtualQuery(c.arg(0), c.arg(1), c.arg(2))); });
  functions.add("VirtualProtect", 4, [this](StubCall& c) {
    c.setResult(virtualProtect(c.arg(0), c.arg(1), c.arg(2), c.arg(3)));
  });
  functions.add("MultiByteToWideChar", 6,
                [this](StubCall& c) { c.setResult(multiByteToWideChar(c)); });
  functions.add("WideCharToMultiByte", 8,
                [this](StubCall& c) { c.setResult(wideCharToMultiByte(c)); });
  // Neither Windows-1250 nor UTF-8 has lead bytes.
  functions.add("IsDBCSLeadByteEx", 2, [this](StubCall& c) {
    c.setResult(codePageFor(c.arg(0)) ? kFalse : fail(kErrorInvalidParameter, kFalse));
  });
}

}  // namespace qmxpe
