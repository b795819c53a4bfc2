#include "emulator/symbolizer.h"

#include "emulator/emulation_error.h"

namespace qmxpe {

Symbolizer::Symbolizer(const AddressSpace& space, const StubTable& stubs,
                       uint32_t hostReturnAddress)
    : space_(space), stubs_(stubs), hostReturnAddress_(hostReturnAddress) {}

void Symbolizer::addModule(const std::string& name, uint32_t base, uint32_t size,
                           std::vector<std::pair<uint32_t, std::string>> symbols) {
  Module module{name, base, size, {}};
  for (auto& symbol : symbols) {
    module.symbols.emplace(symbol.first, std::move(symbol.second));
  }
  modules_.push_back(std::move(module));
}

std::string Symbolizer::where(uint32_t address, bool afterCall, bool withRva) const {
  if (address == hostReturnAddress_) {
    return "the host's return address";
  }
  if (const StubTable::Stub* stub = stubs_.stubAt(address)) {
    return stub->name;
  }
  if (const std::string* trap = stubs_.trapAt(address)) {
    return "unimplemented import " + *trap;
  }
  // A return address may be the first byte after a function that ends in
  // a call; the call itself belongs to the byte before.
  const uint32_t lookup = afterCall && address != 0 ? address - 1 : address;
  uint32_t begin = 0;
  if (const std::string* code = stubs_.codeBelow(lookup, &begin)) {
    return *code + "+" + hexOffset(address - begin);
  }
  for (const Module& module : modules_) {
    if (lookup >= module.base && lookup - module.base < module.size) {
      return inModule(module, address, lookup, withRva);
    }
  }
  const AddressSpace::Region* region = space_.regionOf(address, &begin);
  if (region == nullptr) {
    return "unmapped memory";
  }
  return region->name + "+" + hexOffset(address - begin) + (region->mapped ? "" : ", not mapped");
}

std::string Symbolizer::inModule(const Module& module, uint32_t address, uint32_t lookup,
                                 bool withRva) {
  auto symbol = module.symbols.upper_bound(lookup);
  if (symbol == module.symbols.begin()) {
    return module.name + "+" + hexOffset(address - module.base);
  }
  --symbol;
  std::string text = module.name + "!" + symbol->second;
  if (address != symbol->first) {
    text += "+" + hexOffset(address - symbol->first);
  }
  if (withRva) {
    text += ", RVA " + hexOffset(address - module.base);
  }
  return text;
}

std::string Symbolizer::symbolAt(uint32_t address) const {
  return where(address, false, false);
}

std::string Symbolizer::describe(uint32_t address) const {
  return hex32(address) + " (" + where(address, false, true) + ")";
}

std::string Symbolizer::describeReturnAddress(uint32_t address) const {
  return hex32(address) + " (" + where(address, true, true) + ")";
}

}  // namespace qmxpe
