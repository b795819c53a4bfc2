#include "host/plugin_module.h"

#include <dlfcn.h>

namespace qmxhost {

using namespace qmx;

PluginModule::PluginModule(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw PluginLoadError(std::string("cannot load the plug-in: ") + dlerror());
  proc_ = reinterpret_cast<MessageProc>(dlsym(handle_, "IMessageProc"));
  if (!proc_) {
    dlclose(handle_);
    throw PluginLoadError(path + " has no IMessageProc");
  }
}

PluginModule::~PluginModule() {
  dlclose(handle_);
}

intptr_t callPlugin(MessageProc proc, uint32_t id, intptr_t p1, intptr_t p2) {
  IMessageArgs record = plainRecord(id, p1, p2);
  return proc(&record);
}

}  // namespace qmxhost
