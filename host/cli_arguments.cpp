#include "host/cli_arguments.h"

#include "host/cli_session.h"

namespace qmxhost {
namespace {

bool isGlobalOption(const std::string& option) {
  for (const char* global : {"--store", "--plugin", "--dll", "--log", "--raw"}) {
    if (option == global) return true;
  }
  return false;
}

}  // namespace

ArgumentScanner::ArgumentScanner(const Arguments& args, std::string command)
    : args_(args), command_(std::move(command)) {}

std::optional<std::string> ArgumentScanner::nextOption() {
  if (ended_ || next_ >= args_.size()) return std::nullopt;
  const std::string& arg = args_[next_];
  if (arg == "--") ++next_;
  if (arg == "--" || arg.size() < 2 || arg[0] != '-') {
    ended_ = true;
    return std::nullopt;
  }
  ++next_;
  return arg;
}

Arguments ArgumentScanner::values(size_t count, const std::string& missing) {
  if (args_.size() - next_ < count) throw UsageError(missing);
  Arguments taken(args_.begin() + static_cast<long>(next_),
                  args_.begin() + static_cast<long>(next_ + count));
  next_ += count;
  return taken;
}

Arguments ArgumentScanner::operands() const {
  return Arguments(args_.begin() + static_cast<long>(next_), args_.end());
}

void ArgumentScanner::refuse(const std::string& option) const {
  if (isGlobalOption(option)) {
    throw UsageError(option + " goes before the command: quillmax-host " + option + " ... " +
                     command_ + " ...");
  }
  throw UsageError(command_ + ": unknown option " + option);
}

bool ArgumentScanner::onlyHelp() {
  bool help = false;
  while (const auto option = nextOption()) {
    if (!isHelpOption(*option)) refuse(*option);
    help = true;
  }
  return help;
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
  if (type == "word") return "0";
  if (type == "perl") return "1";
  throw UsageError(what + ": the type is word or perl, not '" + type + "'");
}

}  // namespace qmxhost
