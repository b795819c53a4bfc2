// One run of quillmax-host against the plug-in: the store, the loaded
// plug-in and the simulated messenger around it, from start to end.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "host/config_store.h"
#include "host/host_simulator.h"
#include "host/plugin_boundary.h"

namespace qmxhost {

// Exit statuses of quillmax-host.
constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// A command line quillmax-host cannot act on; exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct GlobalOptions {
  std::optional<std::string> storePath;  // none: the embedded default, never written
  std::string pluginPath;
  std::optional<std::string> dllPath;  // run this Windows DLL under emulation instead
  bool log = false;                    // the plug-in's log lines on standard error
  bool raw = false;                    // message bytes pass unchanged, without UTF-8 conversion
};

// The store a run uses: the file named by --store (missing: empty), or the
// embedded default.
ConfigStore openStore(const GlobalOptions& options);

// Writes the store back when it came from a file; says on `err` that
// nothing is saved otherwise (when `changed`).
void keepStore(const GlobalOptions& options, const ConfigStore& store, bool changed,
               std::ostream& err);

// The plug-in the options name: the Linux library, or with --dll the
// Windows DLL under CPU emulation. Throws PluginLoadError or UsageError.
std::unique_ptr<PluginBoundary> loadPlugin(const GlobalOptions& options);

class Session {
 public:
  // Loads the plug-in and starts it (CALL_INIT to CALL_START) on `store`.
  Session(const GlobalOptions& options, ConfigStore& store, std::ostream& err);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  HostSimulator& host() { return *host_; }
  PluginBoundary& plugin() { return *plugin_; }
  // Ends the plug-in (CALL_END, CALL_DEINIT), which writes its rules into
  // the store.
  void end();

 private:
  std::unique_ptr<PluginBoundary> plugin_;
  std::unique_ptr<HostSimulator> host_;
};

// The plug-in's Windows-1250 text for the terminal; bytes with no
// character are shown as \xNN so a log line is never lost.
std::string displayText(const std::string& cp1250);

}  // namespace qmxhost
