#include "host/cli_arguments.h"

#include <algorithm>
#include <cctype>

#include "host/cli_session.h"
#include "rules/rule_types.h"

namespace qmxhost {
namespace {

bool isGlobalOption(const std::string& option) {
  for (const char* global : {"--store", "--plugin", "--dll", "--log", "--raw", "--version"}) {
    if (option == global) return true;
  }
  return false;
}

bool looksLikeOption(const std::string& arg, ArgumentStyle style) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  // A negative number is a rule number to be refused as such, not an option.
  return style != ArgumentStyle::kOptionsAnywhere ||
         !std::isdigit(static_cast<unsigned char>(arg[1]));
}

[[noreturn]] void refuse(const std::string& option, const std::string& command) {
  if (isGlobalOption(option)) {
    throw UsageError(option + " goes before the command: quillmax-host " + option + " ... " +
                     command + " ...");
  }
  throw UsageError(command + ": unknown option " + option + "; see 'quillmax-host help " + command +
                   "'");
}

Arguments wordsOf(const std::string& text) {
  Arguments words;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// "FROM, TO and TYPE"
std::string listed(const Arguments& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace

bool CommandLine::has(const std::string& option) const {
  return last(option) != nullptr;
}

const Arguments* CommandLine::last(const std::string& option) const {
  for (auto given = options.rbegin(); given != options.rend(); ++given) {
    if (given->first == option) return &given->second;
  }
  return nullptr;
}

CommandLine readCommandLine(const Arguments& args, const std::string& command, ArgumentStyle style,
                            const std::vector<OptionSpec>& options) {
  CommandLine line;
  if (style == ArgumentStyle::kOperandsOnly) {
    line.help = args.size() == 1 && isHelpOption(args[0]);
    if (!line.help) line.operands = args;
    return line;
  }
  bool optionsEnded = false;
  for (size_t next = 0; next < args.size();) {
    const std::string& arg = args[next++];
    if (optionsEnded || !looksLikeOption(arg, style)) {
      line.operands.push_back(arg);
      optionsEnded = optionsEnded || style == ArgumentStyle::kOptionsFirst;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (isHelpOption(arg)) {
      line.help = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& known : options) {
      if (arg == known.name) option = &known;
    }
    if (!option) refuse(arg, command);
    const Arguments names = wordsOf(option->values);
    if (args.size() - next < names.size()) {
      throw UsageError(command + ": " + arg + " needs " + listed(names));
    }
    line.options.emplace_back(arg,
                              Arguments(args.begin() + static_cast<long>(next),
                                        args.begin() + static_cast<long>(next + names.size())));
    next += names.size();
  }
  return line;
}

bool isHelpOption(const std::string& option) {
  return option == "-h" || option == "--help";
}

std::string storedRuleText(const std::string& utf8, const std::string& what) {
  if (utf8.find("\r\n") != std::string::npos) {
    throw UsageError(what + " \"" + utf8 +
                     "\" holds CR LF, which ends a rule in the stored column");
  }
  return pluginText(utf8, what);
}

std::string storedRuleType(const std::string& type, const std::string& what) {
  if (const qmx::RuleType* known = qmx::ruleTypeNamed(type)) {
    return std::to_string(known->number);
  }
  throw UsageError(what + ": the type is word or perl, not '" + type + "'");
}

}  // namespace qmxhost
