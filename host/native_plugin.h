// The plug-in as a Linux shared library, loaded into this process with
// dlopen as the messenger loads the DLL.
#pragma once

#include <memory>
#include <string>

#include "host/native_host_table.h"
#include "host/plugin_boundary.h"
#include "host/plugin_module.h"

namespace qmxhost {

class NativePlugin : public PluginBoundary {
 public:
  // Loads the library at `path` and finds IMessageProc and the Win32
  // stand-in's own functions. Throws PluginLoadError.
  explicit NativePlugin(const std::string& path);
  ~NativePlugin() override;
  NativePlugin(const NativePlugin&) = delete;
  NativePlugin& operator=(const NativePlugin&) = delete;

  size_t pointerSize() const override { return sizeof(void*); }
  Address allocate(size_t size) override;
  void release(Address address) override;
  void write(Address address, const void* data, size_t size) override;
  void read(Address address, void* data, size_t size) override;
  std::string readString(Address address) override;
  int64_t call(Address record) override;
  Address hostControl(HostOperations* operations) override;
  WindowSystem& windows() override;

  // The library's handle, for its own diagnostics.
  void* handle() const { return module_.handle(); }

 private:
  // Passes the table's operations on to the simulator, addresses as Address.
  class Forwarder : public NativeHostOperations {
   public:
    HostOperations* target = nullptr;
    void* getPluginInstance() override;
    void reportNoResult(int code) override;
    intptr_t hostCall(qmx::IMessageArgs* record) override;
    void readConfig(int reserved1, int reserved2, int column, qmx::ConfigValue* value) override;
    void writeConfig(int reserved1, int reserved2, int column, qmx::ConfigValue* value) override;
  };

  PluginModule module_;
  Forwarder forwarder_;
  NativeHostTable table_{forwarder_};
  std::unique_ptr<WindowSystem> windows_;
};

}  // namespace qmxhost
