// A command's arguments read as getopt reads them: options first, ended by
// "--" or by the first operand, so that a message or a rule's text that
// starts with '-' (even "-h") is taken as it is.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qmxhost {

using Arguments = std::vector<std::string>;

class ArgumentScanner {
 public:
  // `command` names the command in errors.
  ArgumentScanner(const Arguments& args, std::string command);

  // The next option, or nothing once the options have ended.
  std::optional<std::string> nextOption();
  // The `count` arguments after the latest option, as its values. Throws
  // UsageError with `missing` when there are fewer.
  Arguments values(size_t count, const std::string& missing);
  // Everything after the options (without the "--" that ended them).
  Arguments operands() const;

  // Throws UsageError for an option the command does not take; for one of
  // the program's own options, says that it goes before the command.
  [[noreturn]] void refuse(const std::string& option) const;
  // Reads the options of a command whose only option is help. Returns
  // whether help was asked for; throws UsageError for any other.
  bool onlyHelp();

 private:
  const Arguments& args_;
  std::string command_;
  size_t next_ = 0;
  bool ended_ = false;
};

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
