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
#include "host/store_lock.h"

namespace qmxhost {

// Exit statuses of quillmax-host.
constexpr int kExitOk = 0;
// An action the plug-in refused, a check that found faults, or a plug-in
// that failed: a message it left uncorrected, a change it did not write
// back, a fault, a protocol breach.
constexpr int kExitRefused = 1;
// A command that could not be carried out: a usage error, unreadable
// input or store, a store or an output that could not be written, memory
// that ran out.
constexpr int kExitUsage = 2;
// --dll only: a limit of the emulator running the DLL was reached (its heap,
// or the instructions one call may run); not a fault of the DLL.
constexpr int kExitHostLimit = 3;

// A command line quillmax-host cannot act on; exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Standard output could not be written; exit status 2.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The plug-in failed at its task (say, left an eligible message alone);
// exit status 1.
class PluginFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct GlobalOptions {
  std::optional<std::string> storePath;  // none: the embedded default, never written
  bool storeFromEnvironment = false;     // storePath came from QUILLMAX_STORE
  std::string pluginPath;
  std::optional<std::string> dllPath;  // run this Windows DLL under emulation instead
  bool log = false;                    // the plug-in's log lines on standard error
  bool raw = false;                    // message bytes pass unchanged, without UTF-8 conversion
};

// What a command does with the store.
enum class StoreUse {
  // Reads it without a lock and never writes it, not even to create a
  // missing one: the store is only ever replaced whole, so a reader sees
  // either the old or the new one, and a read-only directory is no
  // obstacle.
  kRead,
  // Holds the store's exclusive lock from reading to writing back.
  kChange,
};

// The store a run uses: the file named by --store or QUILLMAX_STORE, or the
// embedded default. A missing file is an empty store to a command that
// changes it, and an error to one that only reads it: a mistyped name would
// otherwise correct nothing and report success.
class StoreAccess {
 public:
  // Throws StoreError.
  StoreAccess(const GlobalOptions& options, StoreUse use);

  ConfigStore& store() { return store_; }
  // Writes the changed store back (StoreUse::kChange only); without --store
  // says on `err` that nothing is saved. Throws StoreError.
  void save(std::ostream& err);

 private:
  std::optional<std::string> file_;  // the store's file, symbolic links resolved
  std::optional<StoreLock> lock_;
  ConfigStore store_;
};

// The plug-in the options name: the Linux library, or with --dll the
// Windows DLL under CPU emulation. Throws PluginLoadError, saying what to
// do for a file that cannot be opened or is of the other kind, or
// UsageError.
std::unique_ptr<PluginBoundary> loadPlugin(const GlobalOptions& options);

// The loaded plug-in's name and version, as its identity queries answer
// them: "Quillmax 0.0.5beta".
std::string pluginIdentity(const GlobalOptions& options);

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
  // Throws PluginFailure unless the plug-in wrote its rules back as it
  // ended. It writes them only when it had loaded them all: without the
  // write-back a change it took in was never stored, and a save would
  // report it done.
  void requireRulesWrittenBack();

 private:
  std::unique_ptr<PluginBoundary> plugin_;
  std::unique_ptr<HostSimulator> host_;
};

// The plug-in's Windows-1250 text for the terminal; bytes with no
// character are shown as \xNN so a log line is never lost.
std::string displayText(const std::string& cp1250);

// A text from the terminal (UTF-8) for the plug-in. Throws UsageError
// naming `what` for a character with no Windows-1250 form.
std::string pluginText(const std::string& utf8, const std::string& what);
// The plug-in's text for the terminal. Throws UsageError naming `what` for
// a byte Windows-1250 leaves without a character.
std::string terminalText(const std::string& cp1250, const std::string& what);

// Throws OutputError when a write to `out` has failed.
void requireWritten(std::ostream& out);

}  // namespace qmxhost
