// A command's arguments read against what the command takes: its options
// (each with the number of values it needs) and its operands. Options come
// first, as getopt reads them, so that a message or a rule's text that
// starts with '-' (even "-h") is taken as it is.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace qmxhost {

using Arguments = std::vector<std::string>;

// How a command's arguments are read.
enum class ArgumentStyle {
  // Every argument is an operand, so that a rule may read "-h"; help is
  // asked for only by "--help" or "-h" alone.
  kOperandsOnly,
  // Options first, ended by "--" or by the first operand.
  kOptionsFirst,
  // Options before or after the operands, ended only by "--": for a
  // command whose operands are rule numbers or files. "-" alone, and "-"
  // followed by a digit, are operands (a file, or a number to be refused).
  kOptionsAnywhere,
};

struct OptionSpec {
  const char* name;    // "--rule"
  const char* values;  // the names of the values it takes, "FROM TO TYPE"; "" for none
};

// What a command's arguments said: the options given, in order, each with
// its values, and the operands.
struct CommandLine {
  std::vector<std::pair<std::string, Arguments>> options;
  Arguments operands;
  bool help = false;

  bool has(const std::string& option) const;
  // The values of the latest `option` given; null when it was not given.
  const Arguments* last(const std::string& option) const;
};

// Reads `args` for the command `command` (named so in errors). Throws
// UsageError for an option the command does not take (for one of the
// program's own options, saying that it goes before the command) and for
// an option without all its values. Help options set `help`.
CommandLine readCommandLine(const Arguments& args, const std::string& command, ArgumentStyle style,
                            const std::vector<OptionSpec>& options);

bool isHelpOption(const std::string& option);

// A rule's From or To as typed (UTF-8), in the plug-in's encoding. Throws
// UsageError naming `what` for a character with no Windows-1250 form, and
// for a CR LF: it ends a rule in the stored column, so the rule would not
// survive as typed. A lone CR or LF is kept.
std::string storedRuleText(const std::string& utf8, const std::string& what);

// "0" or "1", as the store holds a rule type, for the name a user types:
// word or perl. Throws UsageError naming `what` for anything else.
std::string storedRuleType(const std::string& type, const std::string& what);

}  // namespace qmxhost
