// quillmax-host: loads Quillmax.so the way the messenger loads the DLL and
// drives it through IMessageProc. For now it walks the plug-in's lifecycle
// and prints its identity and log.
#include <dlfcn.h>
#include <iconv.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "shell/call_ids.h"
#include "shell/host_control.h"

namespace {

using IMessageProcFn = intptr_t(QMX_STDCALL*)(IMessageArgs*);

IMessageProcFn g_proc = nullptr;

// The plug-in speaks Windows-1250; the terminal UTF-8.
std::string toUtf8(const char* text) {
  iconv_t cd = iconv_open("UTF-8", "CP1250");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string in(text);
  std::string out(in.size() * 4 + 1, '\0');
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1)) return text;
  out.resize(out.size() - outLeft);
  return out;
}

void* QMX_STDCALL getPluginInstance(HostControl*) { return nullptr; }
intptr_t QMX_STDCALL reportNoResult(HostControl*, int) { return 0; }

intptr_t QMX_STDCALL hostCall(HostControl*, IMessageArgs* record) {
  uint32_t id;
  intptr_t p1;
  std::memcpy(&id, reinterpret_cast<char*>(record) + offsetof(IMessageArgs, id), sizeof id);
  std::memcpy(&p1, reinterpret_cast<char*>(record) + offsetof(IMessageArgs, p1), sizeof p1);
  if (id == HOST_LOG && p1) {
    std::printf("log: %s\n", toUtf8(reinterpret_cast<const char*>(p1)).c_str());
  }
  return 0;
}

intptr_t QMX_STDCALL readConfig(HostControl*, int, int, int, ConfigValue* value) {
  static const char kEmpty[] = "";
  uint16_t type;
  std::memcpy(&type, value, sizeof type);
  const intptr_t answer = type == CONFIG_TEXT ? reinterpret_cast<intptr_t>(kEmpty) : 0;
  std::memcpy(reinterpret_cast<char*>(value) + offsetof(ConfigValue, value), &answer,
              sizeof answer);
  return 0;
}

intptr_t QMX_STDCALL writeConfig(HostControl*, int, int, int, ConfigValue*) { return 0; }

intptr_t call(uint32_t id, intptr_t p1 = 0) {
  IMessageArgs record{};
  record.size = sizeof record;
  record.id = id;
  record.p1 = p1;
  return g_proc(&record);
}

std::string pluginBesideExecutable() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "Quillmax.so";
  std::string self(path, static_cast<size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + "Quillmax.so";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pluginPath = argc > 1 ? argv[1] : pluginBesideExecutable();
  void* handle = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "quillmax-host: cannot load %s: %s\n", pluginPath.c_str(), dlerror());
    return 2;
  }
  g_proc = reinterpret_cast<IMessageProcFn>(dlsym(handle, "IMessageProc"));
  if (!g_proc) {
    std::fprintf(stderr, "quillmax-host: %s has no IMessageProc\n", pluginPath.c_str());
    return 2;
  }

  HostOperation table[HOST_OP_TABLE_SIZE] = {};
  table[HOST_OP_GET_PLUGIN_INSTANCE] = reinterpret_cast<HostOperation>(&getPluginInstance);
  table[HOST_OP_REPORT_NO_RESULT] = reinterpret_cast<HostOperation>(&reportNoResult);
  table[HOST_OP_HOST_CALL] = reinterpret_cast<HostOperation>(&hostCall);
  table[HOST_OP_READ_CONFIG] = reinterpret_cast<HostOperation>(&readConfig);
  table[HOST_OP_WRITE_CONFIG] = reinterpret_cast<HostOperation>(&writeConfig);
  HostControl control{table};

  std::printf("plug-in %s %s, number %ld, kind %ld\n",
              reinterpret_cast<const char*>(call(QUERY_NAME_30013)),
              reinterpret_cast<const char*>(call(QUERY_VERSION)),
              static_cast<long>(call(QUERY_PLUGIN_NUMBER)),
              static_cast<long>(call(QUERY_PLUGIN_KIND)));
  call(CALL_INIT, reinterpret_cast<intptr_t>(&control));
  call(CALL_START);
  call(CALL_END);
  call(CALL_DEINIT);
  dlclose(handle);
  return 0;
}
