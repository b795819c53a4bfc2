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
};

int runCorrect(CommandContext& context, const Arguments& args);
int runRules(CommandContext& context, const Arguments& args);
int runCheck(CommandContext& context, const Arguments& args);
int runPage(CommandContext& context, const Arguments& args);
int runSet(CommandContext& context, const Arguments& args);

}  // namespace qmxhost
