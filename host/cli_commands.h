// The commands of quillmax-host. Each takes its own arguments (after the
// command's name) and returns the exit status; usage errors are thrown as
// UsageError.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "host/cli_arguments.h"
#include "host/cli_session.h"

namespace qmxhost {

struct CommandContext {
  const GlobalOptions& options;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  // What the command is doing, set as it goes, for the error of a failure
  // that cannot tell where it struck: "out of memory while saving the store".
  std::string& stage;
};

int runCorrect(CommandContext& context, const Arguments& args);
int runRules(CommandContext& context, const Arguments& args);
int runCheck(CommandContext& context, const Arguments& args);
int runPage(CommandContext& context, const Arguments& args);
int runSet(CommandContext& context, const Arguments& args);

}  // namespace qmxhost
