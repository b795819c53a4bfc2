// The plug-in as the shipped Windows DLL, run under CPU emulation: the same
// boundary the simulator drives the Linux library through, with 32-bit
// addresses in the emulated memory.
#pragma once

#include <memory>
#include <string>

#include "host/plugin_boundary.h"

namespace qmxpe {
class EmulatedDll;
}

namespace qmxhost {

class EmulatedPlugin : public PluginBoundary {
 public:
  // Loads the DLL at `path` and finds _IMessageProc@4. Throws
  // PluginLoadError; a fault inside the DLL is reported as
  // qmxpe::EmulationError.
  explicit EmulatedPlugin(const std::string& path);
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
  std::unique_ptr<qmxpe::EmulatedDll> dll_;
  uint32_t proc_ = 0;
  uint32_t control_ = 0;  // the HostControl object, once built
  HostOperations* operations_ = nullptr;
  std::unique_ptr<WindowSystem> windows_;
};

}  // namespace qmxhost
