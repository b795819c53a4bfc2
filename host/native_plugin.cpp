#include "host/native_plugin.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace qmxhost {
namespace {

Address addressOf(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

template <typename T>
T* pointerTo(Address address) {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(address));
}

HostOperations* operationsOf(HostControl* self) {
  return reinterpret_cast<NativePlugin::ControlBlock*>(self)->operations;
}

void* QMX_STDCALL getPluginInstanceOp(HostControl* self) {
  return pointerTo<void>(operationsOf(self)->getPluginInstance());
}

intptr_t QMX_STDCALL reportNoResultOp(HostControl* self, int code) {
  operationsOf(self)->reportNoResult(code);
  return 0;
}

intptr_t QMX_STDCALL hostCallOp(HostControl* self, IMessageArgs* record) {
  return static_cast<intptr_t>(operationsOf(self)->hostCall(addressOf(record)));
}

intptr_t QMX_STDCALL readConfigOp(HostControl* self, int, int, int column, ConfigValue* value) {
  operationsOf(self)->readConfig(column, addressOf(value));
  return 0;
}

intptr_t QMX_STDCALL writeConfigOp(HostControl* self, int, int, int column, ConfigValue* value) {
  operationsOf(self)->writeConfig(column, addressOf(value));
  return 0;
}

// The stand-in the plug-in links, reached through its own functions.
class StandinWindows : public WindowSystem {
 public:
  explicit StandinWindows(void* handle) : client_(handle) {}
  bool ok() const { return client_.ok(); }
  const std::string& missing() const { return client_.missing(); }

  Address createSettingsWindow() override { return addressOf(client_.createSettingsWindow()); }
  bool isWindow(Address window) override { return client_.isWindow(pointerTo<HWND__>(window)); }
  std::vector<std::vector<std::string>> rows(Address list) override {
    return client_.rows(pointerTo<HWND__>(list));
  }
  bool selectRow(Address list, int row, bool selected) override {
    return client_.selectRow(pointerTo<HWND__>(list), row, selected);
  }
  void setMessageBoxAnswer(int answer) override { client_.setMessageBoxAnswer(answer); }
  int messageBoxCount() override { return client_.messageBoxCount(); }

 private:
  StandinClient client_;
};

}  // namespace

NativePlugin::NativePlugin(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw PluginLoadError(std::string("cannot load the plug-in: ") + dlerror());
  proc_ = reinterpret_cast<decltype(proc_)>(dlsym(handle_, "IMessageProc"));
  if (!proc_) {
    dlclose(handle_);
    throw PluginLoadError(path + " has no IMessageProc");
  }
  auto windows = std::make_unique<StandinWindows>(handle_);
  if (!windows->ok()) {
    const std::string missing = windows->missing();
    dlclose(handle_);
    throw PluginLoadError(path + ": the Win32 stand-in lacks " + missing);
  }
  windows_ = std::move(windows);
  table_[HOST_OP_GET_PLUGIN_INSTANCE] = reinterpret_cast<HostOperation>(&getPluginInstanceOp);
  table_[HOST_OP_REPORT_NO_RESULT] = reinterpret_cast<HostOperation>(&reportNoResultOp);
  table_[HOST_OP_HOST_CALL] = reinterpret_cast<HostOperation>(&hostCallOp);
  table_[HOST_OP_READ_CONFIG] = reinterpret_cast<HostOperation>(&readConfigOp);
  table_[HOST_OP_WRITE_CONFIG] = reinterpret_cast<HostOperation>(&writeConfigOp);
  block_.control.operations = table_;
}

NativePlugin::~NativePlugin() {
  windows_.reset();
  if (handle_) dlclose(handle_);
}

Address NativePlugin::allocate(size_t size) {
  void* memory = std::calloc(1, size ? size : 1);
  if (!memory) throw std::bad_alloc();
  return addressOf(memory);
}

void NativePlugin::release(Address address) {
  std::free(pointerTo<void>(address));
}

void NativePlugin::write(Address address, const void* data, size_t size) {
  std::memcpy(pointerTo<void>(address), data, size);
}

void NativePlugin::read(Address address, void* data, size_t size) {
  std::memcpy(data, pointerTo<const void>(address), size);
}

std::string NativePlugin::readString(Address address) {
  return address ? std::string(pointerTo<const char>(address)) : std::string();
}

int64_t NativePlugin::call(Address record) {
  return proc_(pointerTo<IMessageArgs>(record));
}

Address NativePlugin::hostControl(HostOperations* operations) {
  block_.operations = operations;
  return addressOf(&block_.control);
}

WindowSystem& NativePlugin::windows() {
  return *windows_;
}

}  // namespace qmxhost
