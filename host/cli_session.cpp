#include "host/cli_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "host/default_store.h"
#include "host/native_plugin.h"
#include "host/store_file.h"
#if defined(QUILLMAX_HAVE_PE)
#include "host/emulated_plugin.h"
#endif
#include "host/text_codec.h"

namespace qmxhost {

StoreAccess::StoreAccess(const GlobalOptions& options, StoreUse use) {
  if (!options.storePath) {
    store_ = ConfigStore::parse(kDefaultStoreJson, "the embedded default store");
    return;
  }
  if (use == StoreUse::Read) {
    store_ = ConfigStore::loadFile(*options.storePath);
    return;
  }
  // Through links to the file itself, so that every name of one store
  // shares its lock, and the save replaces the file, not the link.
  file_ = resolveStoreFile(*options.storePath);
  requireRegularFileOrNothing(*file_);
  lock_.emplace(*file_);
  store_ = ConfigStore::loadFile(*file_);
}

void StoreAccess::save(std::ostream& err) {
  if (file_) {
    store_.saveFile(*file_);
  } else {
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

namespace {

std::string convertNamed(std::string (*convert)(const std::string&), const std::string& text,
                         const std::string& what) {
  try {
    return convert(text);
  } catch (const TextCodecError& error) {
    throw UsageError(what + ": " + error.what());
  }
}

}  // namespace

std::string pluginText(const std::string& utf8, const std::string& what) {
  return convertNamed(utf8ToCp1250, utf8, what);
}

std::string terminalText(const std::string& cp1250, const std::string& what) {
  return convertNamed(cp1250ToUtf8, cp1250, what);
}

void requireWritten(std::ostream& out) {
  if (out) return;
  // The stream keeps no error code; errno still holds the failed write's.
  const int error = errno;
  throw OutputError(std::string("cannot write standard output") +
                    (error ? std::string(": ") + std::strerror(error) : std::string()));
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
