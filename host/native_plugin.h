// The plug-in as a Linux shared library, loaded into this process with
// dlopen as the messenger loads the DLL.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "host/plugin_boundary.h"
#include "host/standin_client.h"
#include "shell/host_control.h"

namespace qmxhost {

class PluginLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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
  void* handle() const { return handle_; }

  // What the operation table's entries reach. A plain struct with `control`
  // first: the operations find it from the HostControl address they get.
  struct ControlBlock {
    HostControl control;
    HostOperations* operations;
  };

 private:
  void* handle_ = nullptr;
  intptr_t(QMX_STDCALL* proc_)(IMessageArgs*) = nullptr;
  HostOperation table_[HOST_OP_TABLE_SIZE] = {};
  ControlBlock block_{};
  std::unique_ptr<WindowSystem> windows_;
};

}  // namespace qmxhost
