#include "host/native_plugin.h"

#include "host/standin_client.h"

#include <cstdlib>
#include <cstring>

namespace qmxhost {

using namespace qmx;

namespace {

Address addressOf(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

template <typename T>
T* pointerTo(Address address) {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(address));
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
  int rowCount(Address list) override { return client_.rowCount(pointerTo<HWND__>(list)); }
  bool selectRow(Address list, int row, bool selected) override {
    return client_.selectRow(pointerTo<HWND__>(list), row, selected);
  }
  void setMessageBoxAnswer(int answer) override { client_.setMessageBoxAnswer(answer); }
  int messageBoxCount() override { return client_.messageBoxCount(); }

 private:
  StandinClient client_;
};

}  // namespace

NativePlugin::NativePlugin(const std::string& path) : module_(path) {
  auto windows = std::make_unique<StandinWindows>(module_.handle());
  if (!windows->ok())
    throw PluginLoadError(path + ": the Win32 stand-in lacks " + windows->missing());
  windows_ = std::move(windows);
}

NativePlugin::~NativePlugin() = default;

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
  return module_.proc()(pointerTo<IMessageArgs>(record));
}

Address NativePlugin::hostControl(HostOperations* operations) {
  forwarder_.target = operations;
  return addressOf(table_.control());
}

WindowSystem& NativePlugin::windows() {
  return *windows_;
}

// --- the table's operations ------------------------------------------------

void* NativePlugin::Forwarder::getPluginInstance() {
  return pointerTo<void>(target->getPluginInstance());
}

void NativePlugin::Forwarder::reportNoResult(int code) {
  target->reportNoResult(code);
}

intptr_t NativePlugin::Forwarder::hostCall(IMessageArgs* record) {
  return static_cast<intptr_t>(target->hostCall(addressOf(record)));
}

void NativePlugin::Forwarder::readConfig(int, int, int column, ConfigValue* value) {
  target->readConfig(column, addressOf(value));
}

void NativePlugin::Forwarder::writeConfig(int, int, int column, ConfigValue* value) {
  target->writeConfig(column, addressOf(value));
}

}  // namespace qmxhost
