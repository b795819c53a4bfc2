#include "host/cli_session.h"

#include <fcntl.h>
#include <unistd.h>

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
#include "shell/call_ids.h"
#include "shell/columns.h"

namespace qmxhost {

StoreAccess::StoreAccess(const GlobalOptions& options, StoreUse use) {
  if (!options.storePath) {
    store_ = ConfigStore::parse(kDefaultStoreJson, "the embedded default store");
    return;
  }
  if (use == StoreUse::kRead) {
    std::optional<ConfigStore> existing = ConfigStore::loadExisting(*options.storePath);
    if (!existing) {
      throw StoreError("no store at " + *options.storePath +
                       (options.storeFromEnvironment ? " (named by QUILLMAX_STORE; " : " (") +
                       "a changing command such as `rules add` creates one)");
    }
    store_ = std::move(*existing);
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

namespace {

// The first bytes of the plug-in's file, which tell a Windows DLL ("MZ")
// from a Linux library ("\x7FELF"). Throws PluginLoadError with the
// system's reason when the file cannot be read.
std::string fileSignature(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const std::string why = std::strerror(errno);
    throw PluginLoadError("cannot open " + path + ": " + why);
  }
  char start[4] = {};
  const ssize_t got = read(fd, start, sizeof start);
  const std::string why = std::strerror(errno);
  close(fd);
  if (got < 0) throw PluginLoadError("cannot read " + path + ": " + why);
  return std::string(start, static_cast<size_t>(got));
}

bool isWindowsImage(const std::string& signature) {
  return signature.compare(0, 2, "MZ") == 0;
}

bool isElf(const std::string& signature) {
  return signature ==
         "\x7F"
         "ELF";
}

}  // namespace

std::unique_ptr<PluginBoundary> loadPlugin(const GlobalOptions& options) {
  if (!options.dllPath) {
    if (isWindowsImage(fileSignature(options.pluginPath))) {
      throw PluginLoadError(options.pluginPath + ": this is a Windows DLL: use --dll");
    }
    // A name without a slash would be looked for on the library path, not here.
    const bool bare = options.pluginPath.find('/') == std::string::npos;
    return std::make_unique<NativePlugin>(bare ? "./" + options.pluginPath : options.pluginPath);
  }
  if (isElf(fileSignature(*options.dllPath))) {
    throw PluginLoadError(*options.dllPath +
                          ": this is a Linux library, not a Windows DLL: use --plugin");
  }
#if defined(QUILLMAX_HAVE_PE)
  return std::make_unique<EmulatedPlugin>(*options.dllPath);
#else
  throw UsageError("this build of quillmax-host cannot run a DLL (--dll)");
#endif
}

std::string pluginIdentity(const GlobalOptions& options) {
  const std::unique_ptr<PluginBoundary> plugin = loadPlugin(options);
  ConfigStore store;
  HostSimulator host(*plugin, store);
  const std::string name = host.queryText(qmx::QUERY_NAME_30013);
  const std::string version = host.queryText(qmx::QUERY_VERSION);
  return (name.empty() ? "(no name)" : name) + " " + (version.empty() ? "(no version)" : version);
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

void Session::requireRulesWrittenBack() {
  for (int32_t column : {qmx::kColumnFrom, qmx::kColumnTo, qmx::kColumnType}) {
    if (!host_->wroteColumn(column)) {
      throw PluginFailure(
          "the plug-in did not write its rules back (as when it could not load "
          "them), so the change is not saved");
    }
  }
}

}  // namespace qmxhost
