// The emulated msvcrt.dll: the C runtime functions and variables a
// mingw-w64 image imports, over the emulated heap and memory. Output to
// stdout and stderr is collected (and optionally echoed to the host's
// stderr); there are no files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/heap.h"
#include "emulator/import_registry.h"

namespace qmxpe {

class Msvcrt {
 public:
  static constexpr const char* kDll = "msvcrt.dll";

  // errno values msvcrt uses.
  static constexpr uint32_t kEbadf = 9;
  static constexpr uint32_t kEnomem = 12;

  // Places the runtime's variables (_iob, __mb_cur_max, errno, the C
  // locale's lconv, the strerror texts) in the emulator's data region.
  Msvcrt(Emulator& emulator, HeapAllocator& heap);
  Msvcrt(const Msvcrt&) = delete;
  Msvcrt& operator=(const Msvcrt&) = delete;

  void registerImports(ImportRegistry& registry);

  // What the program wrote to stdout and stderr, in order (the last MiB).
  const std::string& console() const { return console_; }
  // Whether console output is also copied to the host's stderr as it comes.
  void setEcho(bool echo) { echo_ = echo; }

  // The malloc family as the program sees it. free and realloc throw
  // EmulationError (kHeapMisuse) for an address that is not a live block.
  uint32_t malloc(uint32_t size);
  void free(uint32_t address);
  uint32_t calloc(uint32_t count, uint32_t size);
  uint32_t realloc(uint32_t address, uint32_t size);

  // atoi exactly as msvcrt's: leading white space, one sign, decimal digits
  // accumulated with 32-bit wrap-around (no clamping, errno untouched); 0 for
  // a null pointer.
  int32_t atoi(uint32_t address) const;

 private:
  // The imports by family.
  void addHeap(const DllFunctions& functions);
  void addMemoryAndStrings(const DllFunctions& functions);
  void addProcessControl(const DllFunctions& functions);  // errno, locks, abort
  void addConsole(const DllFunctions& functions);
  void addLocaleAndFiles(const DllFunctions& functions);

  void setErrno(uint32_t value) { emulator_.write32(errno_, value); }
  bool isConsole(uint32_t file) const;
  // For a call given `file`: true, with errno EBADF and `failure` as the
  // result, unless it is stdout or stderr.
  bool refuseUnlessConsole(uint32_t file, StubCall& call, uint32_t failure);
  void emit(const std::string& text);
  // fwrite of `count` items of `size` bytes to the console: the items written.
  uint32_t writeToConsole(uint32_t address, uint32_t size, uint32_t count);
  // abort()'s fault: the end of what the program wrote quoted.
  std::string abortMessage() const;

  Emulator& emulator_;
  HeapAllocator& heap_;
  uint32_t iob_ = 0;
  uint32_t mbCurMax_ = 0;
  uint32_t errno_ = 0;
  uint32_t lconv_ = 0;
  uint32_t localeName_ = 0;
  std::vector<uint32_t> errorTexts_;  // strerror's texts, by error number
  std::string console_;
  bool echo_ = true;
};

}  // namespace qmxpe
