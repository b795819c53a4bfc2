// The symbols the emulated system DLLs offer to an image's import table:
// functions served by C++ handlers behind stubs, functions written as real
// instructions, and data. An import found nowhere here is bound to a trap,
// so the run stops naming it the moment it is used, not at load time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "emulator/emulator.h"

namespace qmxpe {

class ImportRegistry {
 public:
  // A function whose stub runs `handler`. `dll` is spelled as reports should
  // show it ("KERNEL32.dll"); lookups ignore its case.
  void addFunction(const std::string& dll, const std::string& name, CallingConvention convention,
                   int argumentCount, StubHandler handler);
  // The same, imported by ordinal; `name` is for reports only.
  void addFunctionByOrdinal(const std::string& dll, uint16_t ordinal, const std::string& name,
                            CallingConvention convention, int argumentCount, StubHandler handler);
  // A function made of real instructions, for those that must call back
  // into the image (a handler cannot run emulated code).
  void addCode(const std::string& dll, const std::string& name, std::vector<uint8_t> code);
  // A variable: the import slot receives `address`, where its data lives.
  void addData(const std::string& dll, const std::string& name, uint32_t address);

  // The address an import slot receives: a stub (placed on first use, one
  // per symbol), code, data, or a trap that reports "DLL!name".
  uint32_t resolve(Emulator& emulator, const std::string& dll, const std::string& name);
  uint32_t resolve(Emulator& emulator, const std::string& dll, uint16_t ordinal);

 private:
  struct Entry {
    enum class Kind { kFunction, kCode, kData } kind = Kind::kFunction;
    std::string displayName;  // "DLL!name"
    CallingConvention convention = CallingConvention::kCdecl;
    int argumentCount = 0;
    StubHandler handler;
    std::vector<uint8_t> code;
    uint32_t address = 0;  // data, or the placed stub or code (0 until placed)
  };

  static std::string key(const std::string& dll, const std::string& symbol);
  uint32_t place(Emulator& emulator, Entry& entry);

  std::map<std::string, Entry> entries_;  // key -> entry; ordinals as "#17"
  std::map<std::string, uint32_t> traps_;
};

// Adds functions of one emulated DLL that share a calling convention, as
// each DLL's registerImports does.
class DllFunctions {
 public:
  DllFunctions(ImportRegistry& registry, const char* dll, CallingConvention convention)
      : registry_(registry), dll_(dll), convention_(convention) {}

  void add(const char* name, int argumentCount, StubHandler handler) const {
    registry_.addFunction(dll_, name, convention_, argumentCount, std::move(handler));
  }

 private:
  ImportRegistry& registry_;
  const char* dll_;
  CallingConvention convention_;
};

}  // namespace qmxpe
