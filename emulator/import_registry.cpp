#include "emulator/import_registry.h"

#include <cctype>

namespace qmxpe {

std::string ImportRegistry::key(const std::string& dll, const std::string& symbol) {
  std::string lower;
  for (char c : dll) {
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  // "msvcrt" and "msvcrt.dll" name the same module, as for LoadLibrary.
  if (lower.find('.') == std::string::npos) {
    lower += ".dll";
  }
  return lower + "!" + symbol;
}

void ImportRegistry::addFunction(const std::string& dll, const std::string& name,
                                 CallingConvention convention, int argumentCount,
                                 StubHandler handler) {
  Entry entry;
  entry.displayName = dll + "!" + name;
  entry.convention = convention;
  entry.argumentCount = argumentCount;
  entry.handler = std::move(handler);
  entries_[key(dll, name)] = std::move(entry);
}

void ImportRegistry::addFunctionByOrdinal(const std::string& dll, uint16_t ordinal,
                                          const std::string& name, CallingConvention convention,
                                          int argumentCount, StubHandler handler) {
  Entry entry;
  entry.displayName = dll + "!#" + std::to_string(ordinal) + " (" + name + ")";
  entry.convention = convention;
  entry.argumentCount = argumentCount;
  entry.handler = std::move(handler);
  entries_[key(dll, "#" + std::to_string(ordinal))] = std::move(entry);
}

void ImportRegistry::addCode(const std::string& dll, const std::string& name,
                             std::vector<uint8_t> code) {
  Entry entry;
  entry.kind = Entry::Kind::kCode;
  entry.displayName = dll + "!" + name;
  entry.code = std::move(code);
  entries_[key(dll, name)] = std::move(entry);
}

void ImportRegistry::addData(const std::string& dll, const std::string& name, uint32_t address) {
  Entry entry;
  entry.kind = Entry::Kind::kData;
  entry.displayName = dll + "!" + name;
  entry.address = address;
  entries_[key(dll, name)] = std::move(entry);
}

uint32_t ImportRegistry::place(Emulator& emulator, Entry& entry) {
  if (entry.address != 0) {
    return entry.address;
  }
  if (entry.kind == Entry::Kind::kCode) {
    entry.address = emulator.addCode("import code " + entry.displayName, entry.code);
  } else {
    entry.address = emulator.addStub("import stub " + entry.displayName, entry.convention,
                                     entry.argumentCount, entry.handler);
  }
  return entry.address;
}

uint32_t ImportRegistry::resolve(Emulator& emulator, const std::string& dll,
                                 const std::string& name) {
  const std::string k = key(dll, name);
  auto found = entries_.find(k);
  if (found != entries_.end()) {
    return place(emulator, found->second);
  }
  auto trap = traps_.find(k);
  if (trap == traps_.end()) {
    trap = traps_.emplace(k, emulator.addTrap(dll + "!" + name)).first;
  }
  return trap->second;
}

uint32_t ImportRegistry::resolve(Emulator& emulator, const std::string& dll, uint16_t ordinal) {
  return resolve(emulator, dll, "#" + std::to_string(ordinal));
}

}  // namespace qmxpe
