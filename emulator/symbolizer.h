// Names emulated addresses for fault reports: a stub or a trap by its name,
// code of our own and a module's code by the nearest symbol at or below,
// anything else by the region of the address space holding it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "emulator/address_space.h"
#include "emulator/stub_table.h"

namespace qmxpe {

class Symbolizer {
 public:
  // Reads `space` and `stubs` as they are at each question; both must
  // outlive it. `hostReturnAddress` is the address every call from the host
  // returns to.
  Symbolizer(const AddressSpace& space, const StubTable& stubs, uint32_t hostReturnAddress);

  // Registers a module: `symbols` are (address, name) pairs.
  void addModule(const std::string& name, uint32_t base, uint32_t size,
                 std::vector<std::pair<uint32_t, std::string>> symbols);

  // "0x6b3814b3 (Quillmax.dll!_IMessageProc@4+0x3, RVA 0x14b3)".
  std::string describe(uint32_t address) const;
  // The same for a return address, whose call belongs to the byte before it.
  std::string describeReturnAddress(uint32_t address) const;
  // Just the name part: "Quillmax.dll!_IMessageProc@4", "import stub ...".
  std::string symbolAt(uint32_t address) const;

 private:
  struct Module {
    std::string name;
    uint32_t base;
    uint32_t size;
    std::map<uint32_t, std::string> symbols;
  };

  std::string where(uint32_t address, bool afterCall, bool withRva) const;
  static std::string inModule(const Module& module, uint32_t address, uint32_t lookup,
                              bool withRva);

  const AddressSpace& space_;
  const StubTable& stubs_;
  uint32_t hostReturnAddress_;
  std::vector<Module> modules_;
};

}  // namespace qmxpe
