// Loading the test DLLs built from tests/emulator/fixtures/ and calling their
// exports by name.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "emulator/emulated_dll.h"

namespace qmxpetest {

inline std::string fixturePath(const std::string& name) {
  return std::string(QMX_PE_FIXTURE_DIR) + "/" + name + ".dll";
}

// Options for fixtures: quiet (what the DLL prints is checked through
// consoleOutput, not shown) and a budget small enough to stop a spinning
// fixture quickly yet far above what any fixture export needs.
inline qmxpe::LoadOptions quietOptions() {
  qmxpe::LoadOptions options;
  options.echoConsole = false;
  options.instructionLimit = 50'000'000;
  return options;
}

// A loaded fixture and calls of its exports by name.
class Fixture {
 public:
  explicit Fixture(const std::string& name, const qmxpe::LoadOptions& options = quietOptions())
      : dll_(qmxpe::EmulatedDll::load(fixturePath(name), options)) {}

  qmxpe::EmulatedDll& dll() { return *dll_; }
  qmxpe::EmulatedDll* operator->() { return dll_.get(); }

  // The export's address; fails the test (and throws) when there is none.
  uint32_t address(const std::string& exportName) const {
    const std::optional<uint32_t> found = dll_->exportAddress(exportName);
    if (!found) {
      ADD_FAILURE() << dll_->name() << " has no export " << exportName;
      throw std::runtime_error("missing export " + exportName);
    }
    return *found;
  }

  uint32_t call(const std::string& exportName, const std::vector<uint32_t>& args = {}) {
    return dll_->callStdcall(address(exportName), args);
  }

  // A NUL-terminated copy of `text` in emulated memory.
  uint32_t text(const std::string& value) { return dll_->allocateString(value); }

 private:
  std::unique_ptr<qmxpe::EmulatedDll> dll_;
};

}  // namespace qmxpetest
