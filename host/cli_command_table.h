// The commands of quillmax-host in one table: each one's name, usage, the
// options and operands it takes, what it does with the store, and its
// handler. Reading the arguments, help and opening the store are written
// once for all of them (host/cli.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/cli_arguments.h"
#include "host/cli_commands.h"

namespace qmxhost {

using CommandHandler = int (*)(CommandContext&, const CommandLine&);

constexpr size_t kAnyNumber = static_cast<size_t>(-1);

struct CommandEntry {
  const char* name;      // "check", or "rules add" for a subcommand
  const char* synopsis;  // what follows the name in its usage: "FROM TO [word|perl]"
  const char* summary;   // one line, for the list of commands
  const char* details;   // the rest of its help; may be empty
  ArgumentStyle style;
  std::vector<OptionSpec> options;
  size_t minOperands;
  size_t maxOperands;  // kAnyNumber: no limit
  StoreNeed store;
  CommandHandler run;
};

// The entry named `name` ("rules add"); null when there is none.
const CommandEntry* findCommand(const std::string& name);
// Whether `name` ("rules") names a group of subcommands.
bool isCommandGroup(const std::string& name);
// The subcommands of a group, by their own names ("list, add, ... or edit").
std::string subcommandNames(const std::string& group);

std::string programHelp();
std::string commandHelp(const CommandEntry& entry);
std::string groupHelp(const std::string& group);

}  // namespace qmxhost
