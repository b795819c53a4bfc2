#include "host/emulated_plugin.h"

#include <cstring>
#include <new>
#include <string>

#include "emulator/emulated_dll.h"
#include "host/native_plugin.h"
#include "shell/host_control.h"

namespace qmxhost {

using namespace qmx;

namespace {

uint32_t narrow(Address address) {
  return static_cast<uint32_t>(address);
}

// The emulated user32 and comctl32, seen from the host.
class EmulatedWindows : public WindowSystem {
 public:
  explicit EmulatedWindows(qmxpe::User32& user32) : user32_(user32) {}

  Address createSettingsWindow() override {
    return user32_.createWindow("STATIC", std::string("Ustawienia"), 0, 0);
  }
  bool isWindow(Address window) override { return user32_.isWindow(narrow(window)); }
  std::vector<std::vector<std::string>> rows(Address list) override {
    return user32_.rows(narrow(list));
  }
  int rowCount(Address list) override { return user32_.rowCount(narrow(list)); }
  bool selectRow(Address list, int row, bool selected) override {
    return user32_.setRowSelected(narrow(list), row, selected);
  }
  void setMessageBoxAnswer(int answer) override { user32_.setMessageBoxAnswer(answer); }
  int messageBoxCount() override { return user32_.messageBoxCount(); }

 private:
  qmxpe::User32& user32_;
};

// The emulator's instruction budget spent, whether by a call or by the
// DLL's start-up: a limit of the emulator, not a fault of the DLL.
HostLimitReached instructionLimitReached(uint64_t limit, const qmxpe::EmulationError& error) {
  return HostLimitReached("the emulator stopped the DLL after " + std::to_string(limit) +
                          " instructions, its limit for this call (an endless loop, or more "
                          "work than emulation allows; Quillmax.so has no such limit): " +
                          error.what());
}

}  // namespace

EmulatedPlugin::EmulatedPlugin(const std::string& path, const EmulatorLimits& limits)
    : limits_(limits) {
  try {
    qmxpe::LoadOptions options;
    options.heapSize = limits_.heapSize;
    // The start-up holds nothing in the heap yet: the floor is its budget.
    options.instructionLimit = limits_.instructionFloor;
    dll_ = qmxpe::EmulatedDll::load(path, options);
  } catch (const qmxpe::EmulationError& error) {
    if (error.kind() == qmxpe::FaultKind::kInstructionLimit) {
      throw instructionLimitReached(limits_.instructionFloor, error);
    }
    throw;
  } catch (const std::exception& error) {
    // The loader's own messages often name the file already.
    const std::string what = error.what();
    throw PluginLoadError(what.find(path) != std::string::npos ? what : path + ": " + what);
  }
  const auto proc = dll_->exportAddress("_IMessageProc@4");
  if (!proc) throw PluginLoadError(path + " exports no _IMessageProc@4");
  proc_ = *proc;
  windows_ = std::make_unique<EmulatedWindows>(dll_->windows());
}

EmulatedPlugin::~EmulatedPlugin() = default;

std::string EmulatedPlugin::tooLargeForHeap(size_t size) const {
  return "the emulator's heap of " + std::to_string(limits_.heapSize >> 20) +
         " MB has no room for " + std::to_string(size) + " bytes the host passes to the DLL";
}

Address EmulatedPlugin::allocate(size_t size) {
  if (size >= limits_.heapSize) throw HostLimitReached(tooLargeForHeap(size));
  uint32_t address = 0;
  try {
    address = dll_->allocate(static_cast<uint32_t>(size ? size : 1));
  } catch (const std::bad_alloc&) {
    throw HostLimitReached(tooLargeForHeap(size));
  }
  const std::vector<uint8_t> zeros(size, 0);
  if (size) dll_->write(address, zeros.data(), size);
  return address;
}

void EmulatedPlugin::release(Address address) {
  dll_->release(narrow(address));
}

void EmulatedPlugin::write(Address address, const void* data, size_t size) {
  dll_->write(narrow(address), data, size);
}

void EmulatedPlugin::read(Address address, void* data, size_t size) {
  const std::vector<uint8_t> bytes = dll_->read(narrow(address), size);
  std::memcpy(data, bytes.data(), size);
}

std::string EmulatedPlugin::readString(Address address) {
  return address ? dll_->readString(narrow(address)) : std::string();
}

int64_t EmulatedPlugin::call(Address record) {
  // A call's work grows with what it works on: the message and the rule
  // base, both in the DLL's heap by now.
  const uint64_t limit =
      limits_.instructionFloor + limits_.instructionsPerHeldByte * dll_->heapBytesInUse();
  dll_->setInstructionLimit(limit);
  const size_t refusals = dll_->heapRefusals();
  uint32_t answer = 0;
  try {
    answer = dll_->callStdcall(proc_, {narrow(record)});
  } catch (const qmxpe::EmulationError& error) {
    if (error.kind() != qmxpe::FaultKind::kInstructionLimit) throw;
    throw instructionLimitReached(limit, error);
  }
  // The DLL copes with a failed allocation as it would in the messenger,
  // but there it would have had the memory: what it did is not what it does.
  if (dll_->heapRefusals() != refusals) {
    throw HostLimitReached("the emulator's heap of " + std::to_string(limits_.heapSize >> 20) +
                           " MB was full when the DLL asked for memory; what the DLL did "
                           "without it is not shown");
  }
  // The DLL answers a 32-bit intptr_t.
  return static_cast<int32_t>(answer);
}

Address EmulatedPlugin::hostControl(HostOperations* operations) {
  operations_ = operations;
  if (control_) return control_;
  // The operation table and the object that points at it live in emulated
  // memory, its five entries stdcall functions that reach the simulator.
  const uint32_t table = narrow(allocate(4 * kHostOpTableSize));
  auto entry = [&](int position, int arguments, const char* name,
                   qmxpe::EmulatedDll::CallbackHandler handler) {
    dll_->write32(table + 4 * static_cast<uint32_t>(position),
                  dll_->makeCallback(arguments, name, std::move(handler)));
  };
  entry(kHostOpGetPluginInstance, 1, "getPluginInstance",
        [this](const uint32_t*) { return narrow(operations_->getPluginInstance()); });
  entry(kHostOpReportNoResult, 2, "reportNoResult", [this](const uint32_t* args) {
    operations_->reportNoResult(static_cast<int>(args[1]));
    return 0u;
  });
  entry(kHostOpHostCall, 2, "hostCall", [this](const uint32_t* args) {
    return static_cast<uint32_t>(operations_->hostCall(args[1]));
  });
  entry(kHostOpReadConfig, 5, "readConfig", [this](const uint32_t* args) {
    operations_->readConfig(static_cast<int>(args[3]), args[4]);
    return 0u;
  });
  entry(kHostOpWriteConfig, 5, "writeConfig", [this](const uint32_t* args) {
    operations_->writeConfig(static_cast<int>(args[3]), args[4]);
    return 0u;
  });
  control_ = narrow(allocate(4));
  dll_->write32(control_, table);
  return control_;
}

WindowSystem& EmulatedPlugin::windows() {
  return *windows_;
}

}  // namespace qmxhost
