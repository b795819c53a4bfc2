// The plug-in as the shipped Windows DLL, run under CPU emulation: the same
// boundary the simulator drives the Linux library through, with 32-bit
// addresses in the emulated memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/plugin_boundary.h"

namespace qmxpe {
class EmulatedDll;
}

namespace qmxhost {

// The emulator's own limits. By default far beyond what the messenger's one
// thread would grant a plug-in and still within what emulation finishes in
// minutes: the heap's size, and the instructions one call may run for each
// byte the DLL holds in its heap (its rule base and the call's texts),
// above a floor for small calls.
struct EmulatorLimits {
  uint32_t heapSize = 1024u << 20;
  uint64_t instructionFloor = 300'000'000;
  uint64_t instructionsPerHeldByte = 20'000;
};

class EmulatedPlugin : public PluginBoundary {
 public:
  // Loads the DLL at `path` and finds _IMessageProc@4. Throws
  // PluginLoadError; a fault inside the DLL is reported as
  // qmxpe::EmulationError, and a limit of the emulator (its heap full, its
  // instruction budget for a call or for the DLL's start-up spent) as
  // HostLimitReached.
  explicit EmulatedPlugin(const std::string& path, const EmulatorLimits& limits = {});
  ~EmulatedPlugin() override;
  EmulatedPlugin(const EmulatedPlugin&) = delete;
  EmulatedPlugin& operator=(const EmulatedPlugin&) = delete;

  size_t pointerSize() const override { return 4; }
  Address allocate(size_t size) override;
  void release(Address address) override;
  void write(Address address, const void* data, size_t size) override;
  void read(Address address, void* data, size_t size) override;
  std::string readString(Address address) override;
  int64_t call(Address record) override;
  Address hostControl(HostOperations* operations) override;
  WindowSystem& windows() override;

  qmxpe::EmulatedDll& dll() { return *dll_; }

 private:
  std::string tooLargeForHeap(size_t size) const;

  EmulatorLimits limits_;
  std::unique_ptr<qmxpe::EmulatedDll> dll_;
  uint32_t proc_ = 0;
  uint32_t control_ = 0;  // the HostControl object, once built
  HostOperations* operations_ = nullptr;
  std::unique_ptr<WindowSystem> windows_;
};

}  // namespace qmxhost
