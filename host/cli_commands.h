// The commands of quillmax-host. Each handler takes the arguments as the
// command table read them and returns the exit status; usage errors are
// thrown as UsageError.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "host/cli_arguments.h"
#include "host/cli_session.h"

namespace qmxhost {

// What a command does with the store.
enum class StoreNeed {
  kNone,    // nothing: help, the version
  kRead,    // reads it only (see StoreUse::kRead)
  kChange,  // changes it, under its lock (see StoreUse::kChange)
};

class CommandContext {
 public:
  CommandContext(const GlobalOptions& options, StoreNeed need, std::istream& in, std::ostream& out,
                 std::ostream& err, std::string& stage);

  // The store as the command needs it, opened on first use. A --store (or
  // QUILLMAX_STORE) that does not exist is an error for a command that only
  // reads it. Throws StoreError, UsageError.
  StoreAccess& store();
  // The same for a command that changes the store only when asked to (an
  // edit with something to change, an option given a value): `use` Read
  // then opens it as a reading command does.
  StoreAccess& store(StoreUse use);

  const GlobalOptions& options;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  // What the command is doing, set as it goes, for the error of a failure
  // that cannot tell where it struck: "out of memory while saving the store".
  std::string& stage;

 private:
  StoreNeed need_;
  std::optional<StoreAccess> access_;
};

// The plug-in started on the store's rules with its settings page open, for
// a command that changes the rules through the plug-in's editor (its Add and
// Delete). Sets the context's stage to "loading the rules", then to
// `stage` once they are loaded.
class EditorSession {
 public:
  EditorSession(CommandContext& context, const char* stage);

  // The rules the editor lists.
  size_t ruleCount();
  // Fills the From, To and type fields and presses Add: true when the
  // editor added the rule, false when it refused it (a From it already
  // lists, letter case aside).
  bool add(const std::string& from, const std::string& to, const std::string& type);
  // Ends the plug-in's session, which writes the rules back.
  void end(CommandContext& context);
  // Saves what the plug-in wrote back; a change it did not write is an error.
  void save(CommandContext& context);

  StoreAccess& access;
  Session session;
  HostSimulator& host;
  WindowSystem& windows;
};

int runCorrect(CommandContext& context, const CommandLine& line);
int runRulesList(CommandContext& context, const CommandLine& line);
int runRulesAdd(CommandContext& context, const CommandLine& line);
int runRulesDelete(CommandContext& context, const CommandLine& line);
int runRulesEdit(CommandContext& context, const CommandLine& line);
int runRulesMove(CommandContext& context, const CommandLine& line);
int runRulesExport(CommandContext& context, const CommandLine& line);
int runRulesImport(CommandContext& context, const CommandLine& line);
int runCheck(CommandContext& context, const CommandLine& line);
int runPage(CommandContext& context, const CommandLine& line);
int runSet(CommandContext& context, const CommandLine& line);

}  // namespace qmxhost
