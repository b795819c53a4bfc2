#include "tests/support/plugin_library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace qmxtest {

const char kPluginPath[] = QUILLMAX_PLUGIN_PATH;
const char kStandinPath[] = QUILLMAX_STANDIN_PATH;

PluginLibrary::PluginLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    ADD_FAILURE() << "dlopen " << path << ": " << dlerror();
    return;
  }
  proc_ = reinterpret_cast<IMessageProcFn>(dlsym(handle_, "IMessageProc"));
  if (!proc_) ADD_FAILURE() << "IMessageProc not found in " << path;
}

PluginLibrary::~PluginLibrary() {
  if (handle_) dlclose(handle_);
}

intptr_t PluginLibrary::call(uint32_t id, intptr_t p1, intptr_t p2) {
  IMessageArgs record{};
  record.size = sizeof(IMessageArgs);
  record.id = id;
  record.p1 = p1;
  record.p2 = p2;
  return proc_(&record);
}

}  // namespace qmxtest
