#include "emulator/msvcrt.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "emulator/printf_format.h"

namespace qmxpe {
namespace {

constexpr uint32_t kFileSize = 32;  // sizeof(FILE) in msvcrt
constexpr uint32_t kIobEntries = 20;
constexpr uint32_t kEof = 0xffffffffu;
// How much of the console a fault report quotes, and how much is kept.
constexpr size_t kConsoleQuote = 2000;
constexpr size_t kConsoleKept = 1u << 20;

// msvcrt's _sys_errlist; the last entry answers every other number.
const char* const kErrorTexts[] = {
    "No error",
    "Operation not permitted",
    "No such file or directory",
    "No such process",
    "Interrupted function call",
    "Input/output error",
    "No such device or address",
    "Arg list too long",
    "Exec format error",
    "Bad file descriptor",
    "No child processes",
    "Resource temporarily unavailable",
    "Not enough space",
    "Permission denied",
    "Bad address",
    "Unknown error",
    "Resource device",
    "File exists",
    "Improper link",
    "No such device",
    "Not a directory",
    "Is a directory",
    "Invalid argument",
    "Too many open files in system",
    "Too many open files",
    "Inappropriate I/O control operation",
    "Unknown error",
    "File too large",
    "No space left on device",
    "Invalid seek",
    "Read-only file system",
    "Too many links",
    "Broken pipe",
    "Domain error",
    "Result too large",
    "Unknown error",
    "Resource deadlock avoided",
    "Unknown error",
    "Filename too long",
    "No locks available",
    "Function not implemented",
    "Directory not empty",
    "Illegal byte sequence",
    "Unknown error",
};

// _initterm(begin, end) calls every non-null function pointer in
// [begin, end). The functions are the image's own constructors, so this has
// to run as emulated code:
//   push esi / push edi / mov esi,[esp+12] / mov edi,[esp+16]
//   next: cmp esi,edi / jae done / mov eax,[esi] / test eax,eax / jz skip
//         call eax
//   skip: add esi,4 / jmp next
//   done: pop edi / pop esi / ret
const std::vector<uint8_t> kInittermCode = {
    0x56, 0x57, 0x8b, 0x74, 0x24, 0x0c, 0x8b, 0x7c, 0x24, 0x10, 0x39, 0xfe, 0x73, 0x0d, 0x8b,
    0x06, 0x85, 0xc0, 0x74, 0x02, 0xff, 0xd0, 0x83, 0xc6, 0x04, 0xeb, 0xef, 0x5f, 0x5e, 0xc3,
};

bool isSpace(uint8_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

int sign(int difference) {
  return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

// Scans go in pieces that never cross a page boundary past the one they
// started on: a scan that stops early never touches a page the real
// function would not have read.
uint32_t pieceAt(uint32_t address, uint64_t left) {
  return static_cast<uint32_t>(
      std::min<uint64_t>({left, 256, Emulator::kPageSize - address % Emulator::kPageSize}));
}

// memcmp, or (asText) strncmp: -1, 0 or 1 over at most `size` bytes.
int compareBytes(const Emulator& e, uint32_t a, uint32_t b, uint32_t size, bool asText) {
  uint8_t left[256];
  uint8_t right[256];
  for (uint64_t done = 0; done < size;) {
    const auto at = static_cast<uint32_t>(done);
    const uint32_t piece = std::min(pieceAt(a + at, size - done), pieceAt(b + at, size - done));
    e.read(a + at, left, piece);
    e.read(b + at, right, piece);
    for (uint32_t i = 0; i < piece; ++i) {
      if (left[i] != right[i]) {
        return sign(left[i] - right[i]);
      }
      if (asText && left[i] == 0) {
        return 0;
      }
    }
    done += piece;
  }
  return 0;
}

// memchr, or (asText) strchr, which stops after the terminator: the
// address of the first `wanted` byte, or 0.
uint32_t findByte(const Emulator& e, uint32_t start, uint8_t wanted, uint32_t size, bool asText) {
  uint8_t chunk[256];
  for (uint64_t done = 0; done < size;) {
    const uint32_t at = start + static_cast<uint32_t>(done);
    const uint32_t piece = pieceAt(at, size - done);
    e.read(at, chunk, piece);
    for (uint32_t i = 0; i < piece; ++i) {
      if (chunk[i] == wanted) {
        return at + i;
      }
      if (asText && chunk[i] == 0) {
        return 0;
      }
    }
    done += piece;
  }
  return 0;
}

class EmulatedArguments : public PrintfArguments {
 public:
  EmulatedArguments(const Emulator& emulator, uint32_t cursor)
      : emulator_(emulator), cursor_(cursor) {}
  uint32_t next() override {
    const uint32_t value = emulator_.read32(cursor_);
    cursor_ += 4;
    return value;
  }
  std::string text(uint32_t address, size_t limit) override {
    const uint32_t bounded = static_cast<uint32_t>(std::min<size_t>(limit, 1u << 20));
    std::string result(emulator_.boundedLength(address, bounded), '\0');
    emulator_.read(address, result.data(), result.size());
    return result;
  }
  std::u16string wideText(uint32_t address, size_t limit) override {
    std::u16string result;
    for (uint32_t at = address; result.size() < std::min<size_t>(limit, 1u << 20); at += 2) {
      const uint16_t unit = emulator_.read16(at);
      if (unit == 0) {
        break;
      }
      result += static_cast<char16_t>(unit);
    }
    return result;
  }

 private:
  const Emulator& emulator_;
  uint32_t cursor_;
};

}  // namespace

Msvcrt::Msvcrt(Emulator& emulator, HeapAllocator& heap) : emulator_(emulator), heap_(heap) {
  iob_ = emulator_.allocateData(kFileSize * kIobEntries);
  // stdin, stdout, stderr: _file 0, 1, 2; _flag _IOREAD or _IOWRT.
  for (uint32_t i = 0; i < 3; ++i) {
    emulator_.write32(iob_ + i * kFileSize + 12, i == 0 ? 0x1 : 0x2);
    emulator_.write32(iob_ + i * kFileSize + 16, i);
  }
  mbCurMax_ = emulator_.allocateData(4);
  emulator_.write32(mbCurMax_, 1);  // single-byte code page
  errno_ = emulator_.allocateData(4);

  auto text = [this](const std::string& value) {
    const uint32_t address = emulator_.allocateData(static_cast<uint32_t>(value.size() + 1), 1);
    emulator_.write(address, value.c_str(), value.size() + 1);
    return address;
  };
  // The "C" locale's lconv: "." and empty texts, CHAR_MAX for the numbers.
  lconv_ = emulator_.allocateData(48, 4);
  const uint32_t point = text(".");
  const uint32_t empty = text("");
  for (uint32_t field = 0; field < 10; ++field) {
    emulator_.write32(lconv_ + 4 * field, field == 0 ? point : empty);
  }
  emulator_.fill(lconv_ + 40, 127, 8);
  localeName_ = text("C");
  for (const char* message : kErrorTexts) {
    errorTexts_.push_back(text(message));
  }
}

bool Msvcrt::isConsole(uint32_t file) const {
  return file == iob_ + kFileSize || file == iob_ + 2 * kFileSize;
}

void Msvcrt::emit(const std::string& text) {
  console_ += text;
  if (console_.size() > kConsoleKept) {
    console_.erase(0, console_.size() - kConsoleKept);
  }
  if (echo_) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
}

uint32_t Msvcrt::malloc(uint32_t size) {
  const std::optional<uint32_t> block = heap_.allocate(size);
  if (!block) {
    setErrno(kEnomem);
    return 0;
  }
  return *block;
}

void Msvcrt::free(uint32_t address) {
  if (address != 0 && !heap_.release(address)) {
    throw EmulationError(
        FaultKind::kHeapMisuse, address,
        "free(" + hex32(address) + "): not a live heap block (freed twice, or never allocated)");
  }
}

uint32_t Msvcrt::calloc(uint32_t count, uint32_t size) {
  const uint64_t total = uint64_t{count} * size;
  if (total > UINT32_MAX) {
    setErrno(kEnomem);
    return 0;
  }
  const uint32_t block = malloc(static_cast<uint32_t>(total));
  if (block != 0) {
    emulator_.fill(block, 0, static_cast<uint32_t>(total));
  }
  return block;
}

uint32_t Msvcrt::realloc(uint32_t address, uint32_t size) {
  if (address == 0) {
    return malloc(size);
  }
  const std::optional<uint32_t> oldSize = heap_.blockSize(address);
  if (!oldSize) {
    throw EmulationError(
        FaultKind::kHeapMisuse, address,
        "realloc(" + hex32(address) + "): not a live heap block (freed, or never allocated)");
  }
  if (size == 0) {
    heap_.release(address);
    return 0;
  }
  if (heap_.resizeInPlace(address, size)) {
    return address;
  }
  const uint32_t moved = malloc(size);
  if (moved == 0) {
    return 0;  // the old block stays as it was
  }
  emulator_.moveBytes(moved, address, std::min(*oldSize, size));
  heap_.release(address);
  return moved;
}

int32_t Msvcrt::atoi(uint32_t address) const {
  if (address == 0) {
    return 0;
  }
  uint32_t at = address;
  while (isSpace(emulator_.read8(at))) {
    ++at;
  }
  bool negative = false;
  const uint8_t first = emulator_.read8(at);
  if (first == '-' || first == '+') {
    negative = first == '-';
    ++at;
  }
  uint32_t total = 0;
  for (uint8_t c = emulator_.read8(at); c >= '0' && c <= '9'; c = emulator_.read8(++at)) {
    total = total * 10 + (c - '0');
  }
  return static_cast<int32_t>(negative ? 0 - total : total);
}

std::string Msvcrt::abortMessage() const {
  std::string message = "abort() was called";
  if (!console_.empty()) {
    const size_t from = console_.size() > kConsoleQuote ? console_.size() - kConsoleQuote : 0;
    message += "; the program had written: " + console_.substr(from);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
      message.pop_back();
    }
  }
  return message;
}

bool Msvcrt::refuseUnlessConsole(uint32_t file, StubCall& call, uint32_t failure) {
  if (isConsole(file)) {
    return false;
  }
  setErrno(kEbadf);
  call.setResult(failure);
  return true;
}

void Msvcrt::registerImports(ImportRegistry& registry) {
  registry.addData(kDll, "_iob", iob_);
  registry.addData(kDll, "__mb_cur_max", mbCurMax_);
  registry.addCode(kDll, "_initterm", kInittermCode);

  const DllFunctions functions(registry, kDll, CallingConvention::kCdecl);
  addHeap(functions);
  addMemoryAndStrings(functions);
  addProcessControl(functions);
  addConsole(functions);
  addLocaleAndFiles(functions);
}

void Msvcrt::addHeap(const DllFunctions& functions) {
  functions.add("malloc", 1, [this](StubCall& c) { c.setResult(malloc(c.arg(0))); });
  functions.add("free", 1, [this](StubCall& c) { free(c.arg(0)); });
  functions.add("calloc", 2, [this](StubCall& c) { c.setResult(calloc(c.arg(0), c.arg(1))); });
  functions.add("realloc", 2, [this](StubCall& c) { c.setResult(realloc(c.arg(0), c.arg(1))); });
}

void Msvcrt::addMemoryAndStrings(const DllFunctions& functions) {
  Emulator& e = emulator_;
  // msvcrt's memcpy copies overlapping ranges correctly too.
  for (const char* name : {"memcpy", "memmove"}) {
    functions.add(name, 3, [&e](StubCall& c) {
      e.moveBytes(c.arg(0), c.arg(1), c.arg(2));
      c.setResult(c.arg(0));
    });
  }
  functions.add("memset", 3, [&e](StubCall& c) {
    e.fill(c.arg(0), static_cast<uint8_t>(c.arg(1)), c.arg(2));
    c.setResult(c.arg(0));
  });
  functions.add("memcmp", 3, [&e](StubCall& c) {
    c.setResult(static_cast<uint32_t>(compareBytes(e, c.arg(0), c.arg(1), c.arg(2), false)));
  });
  functions.add("memchr", 3, [&e](StubCall& c) {
    c.setResult(findByte(e, c.arg(0), static_cast<uint8_t>(c.arg(1)), c.arg(2), false));
  });
  functions.add("strlen", 1, [&e](StubCall& c) { c.setResult(e.stringLength(c.arg(0))); });
  functions.add("wcslen", 1, [&e](StubCall& c) {
    uint32_t length = 0;
    while (e.read16(c.arg(0) + 2 * length) != 0) {
      ++length;
    }
    c.setResult(length);
  });
  functions.add("strcmp", 2, [&e](StubCall& c) {
    c.setResult(static_cast<uint32_t>(compareBytes(e, c.arg(0), c.arg(1), UINT32_MAX, true)));
  });
  functions.add("strncmp", 3, [&e](StubCall& c) {
    c.setResult(static_cast<uint32_t>(compareBytes(e, c.arg(0), c.arg(1), c.arg(2), true)));
  });
  // The terminator itself is found when looking for 0.
  functions.add("strchr", 2, [&e](StubCall& c) {
    c.setResult(findByte(e, c.arg(0), static_cast<uint8_t>(c.arg(1)), UINT32_MAX, true));
  });
  functions.add("atoi", 1,
                [this](StubCall& c) { c.setResult(static_cast<uint32_t>(atoi(c.arg(0)))); });
}

void Msvcrt::addProcessControl(const DllFunctions& functions) {
  functions.add("_errno", 0, [this](StubCall& c) { c.setResult(errno_); });
  // One thread: the runtime's locks have nothing to exclude.
  functions.add("_lock", 1, [](StubCall&) {});
  functions.add("_unlock", 1, [](StubCall&) {});
  functions.add("abort", 0, [this](StubCall& c) {
    throw EmulationError(FaultKind::kAbort, c.returnAddress(), abortMessage());
  });
  functions.add("_amsg_exit", 1, [](StubCall& c) {
    throw EmulationError(FaultKind::kAbort, c.returnAddress(),
                         "the C runtime ended the program: _amsg_exit(" + std::to_string(c.arg(0)) +
                             "), runtime error R60" + (c.arg(0) < 10 ? "0" : "") +
                             std::to_string(c.arg(0)));
  });
}

// Only stdout and stderr are open.
void Msvcrt::addConsole(const DllFunctions& functions) {
  Emulator& e = emulator_;
  functions.add("fputc", 2, [this](StubCall& c) {
    if (!refuseUnlessConsole(c.arg(1), c, kEof)) {
      emit(std::string(1, static_cast<char>(c.arg(0))));
      c.setResult(c.arg(0) & 0xff);
    }
  });
  functions.add("fputs", 2, [this, &e](StubCall& c) {
    if (!refuseUnlessConsole(c.arg(1), c, kEof)) {
      emit(e.readString(c.arg(0)));
      c.setResult(0);
    }
  });
  functions.add("fwrite", 4, [this](StubCall& c) {
    if (!refuseUnlessConsole(c.arg(3), c, 0)) {
      c.setResult(writeToConsole(c.arg(0), c.arg(1), c.arg(2)));
    }
  });
  functions.add("vfprintf", 3, [this, &e](StubCall& c) {
    if (!refuseUnlessConsole(c.arg(0), c, kEof)) {
      EmulatedArguments arguments(e, c.arg(2));
      const std::string text = formatPrintf(e.readString(c.arg(1)), arguments);
      emit(text);
      c.setResult(static_cast<uint32_t>(text.size()));
    }
  });
}

uint32_t Msvcrt::writeToConsole(uint32_t address, uint32_t size, uint32_t count) {
  const uint64_t total = uint64_t{size} * count;
  if (total == 0) {
    return 0;
  }
  if (total > (64u << 20)) {
    throw EmulationError(FaultKind::kHostError, address,
                         "fwrite of " + std::to_string(total) + " bytes to the console");
  }
  std::string bytes(static_cast<size_t>(total), '\0');
  emulator_.read(address, bytes.data(), bytes.size());
  emit(bytes);
  return count;
}

void Msvcrt::addLocaleAndFiles(const DllFunctions& functions) {
  functions.add("localeconv", 0, [this](StubCall& c) { c.setResult(lconv_); });
  // Only the "C" locale exists: a query and a request for "C" (or for the
  // default, "") answer "C"; any other name fails.
  functions.add("setlocale", 2, [this](StubCall& c) {
    const uint32_t category = c.arg(0);
    const uint32_t name = c.arg(1);
    if (category > 5) {
      c.setResult(0);
      return;
    }
    if (name == 0) {
      c.setResult(localeName_);
      return;
    }
    const std::string requested = emulator_.readString(name, 256);
    c.setResult(requested.empty() || requested == "C" ? localeName_ : 0);
  });
  functions.add("strerror", 1, [this](StubCall& c) {
    c.setResult(errorTexts_[std::min<size_t>(c.arg(0), errorTexts_.size() - 1)]);
  });
  // No file is ever open.
  const auto notOpen = [this](StubCall& c) {
    setErrno(kEbadf);
    c.setResult(kEof);
  };
  functions.add("_read", 3, notOpen);
  functions.add("_close", 1, notOpen);
}

}  // namespace qmxpe
