#include "host/cli_session.h"

#include <cstdio>
#include <ostream>

#include "host/default_store.h"
#include "host/native_plugin.h"
#if defined(QUILLMAX_HAVE_PE)
#include "host/emulated_plugin.h"
#endif
#include "host/text_codec.h"

namespace qmxhost {

ConfigStore openStore(const GlobalOptions& options) {
  if (options.storePath) return ConfigStore::loadFile(*options.storePath);
  return ConfigStore::parse(kDefaultStoreJson, "the embedded default store");
}

void keepStore(const GlobalOptions& options, const ConfigStore& store, bool changed,
               std::ostream& err) {
  if (options.storePath) {
    store.saveFile(*options.storePath);
  } else if (changed) {
    err << "quillmax-host: no --store given: the change is not saved\n";
  }
}

std::string displayText(const std::string& cp1250) {
  try {
    return cp1250ToUtf8(cp1250);
  } catch (const TextCodecError&) {
    std::string shown;
    for (char c : cp1250) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte == 0x81 || byte == 0x83 || byte == 0x88 || byte == 0x90 || byte == 0x98) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        shown += escape;
      } else {
        shown += cp1250ToUtf8(std::string(1, c));
      }
    }
    return shown;
  }
}

std::unique_ptr<PluginBoundary> loadPlugin(const GlobalOptions& options) {
  if (!options.dllPath) return std::make_unique<NativePlugin>(options.pluginPath);
#if defined(QUILLMAX_HAVE_PE)
  return std::make_unique<EmulatedPlugin>(*options.dllPath);
#else
  throw UsageError("this build of quillmax-host cannot run a DLL (--dll)");
#endif
}

Session::Session(const GlobalOptions& options, ConfigStore& store, std::ostream& err) {
  plugin_ = loadPlugin(options);
  host_ = std::make_unique<HostSimulator>(*plugin_, store);
  if (options.log) {
    host_->onLog = [&err](const std::string& line) { err << "log: " << displayText(line) << "\n"; };
  }
  host_->begin();
}

Session::~Session() {
  // The simulator ends the plug-in if end() was not reached; then the
  // library may go.
  host_.reset();
  plugin_.reset();
}

void Session::end() {
  host_->end();
}

}  // namespace qmxhost
