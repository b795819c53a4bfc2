// quillmax-host correct: messages through the plug-in one at a time, each
// result printed as soon as the messenger would deliver it.
#include <istream>
#include <ostream>

#include "correction/rule_loop.h"
#include "host/cli_arguments.h"
#include "host/cli_commands.h"
#include "host/rule_diagnostics.h"
#include "shell/columns.h"

namespace qmxhost {

using namespace qmx;

namespace {

struct CorrectOptions {
  bool incoming = false;
  bool nullTerminated = false;
  bool trace = false;
  std::vector<Arguments> rules;  // FROM, TO, TYPE, as typed
  Arguments messages;            // none: standard input
};

CorrectOptions correctOptions(const CommandLine& line) {
  CorrectOptions options;
  options.incoming = line.has("--incoming");
  options.nullTerminated = line.has("--null");
  options.trace = line.has("--trace");
  for (const auto& [option, values] : line.options) {
    if (option == "--rule") options.rules.push_back(values);
  }
  options.messages = line.operands;
  return options;
}

void addRunOnlyRules(ConfigStore& store, const CorrectOptions& options) {
  RuleStore rules = rulesOf(store);
  for (size_t i = 0; i < options.rules.size(); ++i) {
    const Arguments& rule = options.rules[i];
    const std::string what = "--rule " + std::to_string(i + 1);
    rules.From.push_back(storedRuleText(rule[0], what + " FROM"));
    rules.To.push_back(storedRuleText(rule[1], what + " TO"));
    rules.Type.push_back(storedRuleType(rule[2], what + " TYPE"));
  }
  storeRules(store, rules);
}

// The messages of one run, one at a time, in the plug-in's encoding: the
// command's arguments, each checked before any is sent, or standard input,
// read only as far as the message being sent.
class MessageSource {
 public:
  MessageSource(const CorrectOptions& options, bool raw, std::istream& in)
      : given_(options.messages), in_(in), raw_(raw), nullTerminated_(options.nullTerminated) {
    for (size_t i = 0; i < given_.size(); ++i) given_[i] = convert(given_[i], i + 1);
  }

  // The next message into `message`; false at the end. Throws UsageError
  // for a message that cannot be read.
  bool next(std::string& message) {
    ++number_;
    if (!given_.empty()) {
      if (number_ > given_.size()) return false;
      message = std::move(given_[number_ - 1]);
      return true;
    }
    if (!std::getline(in_, message, nullTerminated_ ? '\0' : '\n')) return false;
    // A NUL would end the text the plug-in reads: the rest of the line
    // would be lost without a word.
    if (!nullTerminated_ && message.find('\0') != std::string::npos) {
      throw UsageError("line " + std::to_string(number_) +
                       " of standard input holds a NUL byte (NUL-terminated messages need "
                       "--null)");
    }
    message = convert(message, number_);
    return true;
  }

  // Whether the next message may have to be waited for: what was printed
  // so far must then reach its reader first.
  bool mayWait() const { return given_.empty() && in_.rdbuf()->in_avail() <= 0; }
  std::string name() const { return "message " + std::to_string(number_); }

 private:
  std::string convert(const std::string& text, size_t number) const {
    return raw_ ? text : pluginText(text, "message " + std::to_string(number));
  }

  Arguments given_;
  std::istream& in_;
  bool raw_;
  bool nullTerminated_;
  size_t number_ = 0;
};

// Replays the plug-in's rule loop over `message`; `loop` keeps what it
// prepares of the rules from one message to the next, as the plug-in's does.
void traceDelivery(std::ostream& err, const std::string& what, RuleLoop& loop,
                   const RuleStore& rules, bool caseSensitive, const std::string& message,
                   const Delivery& delivery) {
  std::string replayed = message;
  loop.apply(
      rules, replayed, [&] { return caseSensitive; },
      [&](size_t rule, const std::string& before, const std::string& after) {
        if (after == before) return;
        err << what << ": rule " << rule + 1 << ": \"" << displayText(before) << "\" -> \""
            << displayText(after) << "\"\n";
      });
  if (replayed != delivery.text) {
    err << what << ": the replayed rules give \"" << displayText(replayed)
        << "\", not what the plug-in delivered\n";
  }
}

Delivery deliverOrFail(HostSimulator& host, const std::string& message, bool incoming,
                       const std::string& what) {
  const Delivery delivery = [&] {
    try {
      return host.deliver(message, incoming);
    } catch (const ProtocolError& error) {
      throw ProtocolError(what + ": " + error.what());
    }
  }();
  if (delivery.eligible && !delivery.replaced) {
    std::string failure = what + ": the plug-in gave no result, so it would go out uncorrected";
    if (!host.log().empty()) {
      failure += "; the plug-in's last log line: \"" + displayText(host.log().back()) + "\"";
    }
    throw PluginFailure(failure);
  }
  return delivery;
}

}  // namespace

int runCorrect(CommandContext& context, const CommandLine& line) {
  const CorrectOptions options = correctOptions(line);
  const bool raw = context.options.raw;
  ConfigStore& store = context.store().store();
  context.stage = "loading the rules";
  if (!options.rules.empty()) addRunOnlyRules(store, options);
  const RuleStore rules = options.trace ? rulesOf(store) : RuleStore();
  const bool caseSensitive = caseSensitiveIn(store);
  RuleLoop loop;
  context.stage = "reading the messages";
  MessageSource source(options, raw, context.in);

  context.stage = "loading the rules";
  Session session(context.options, store, context.err);
  std::string message;
  while (source.next(message)) {
    const std::string what = source.name();
    context.stage = "correcting " + what;
    const Delivery delivery = deliverOrFail(session.host(), message, options.incoming, what);
    if (options.trace && delivery.replaced) {
      traceDelivery(context.err, what, loop, rules, caseSensitive, message, delivery);
    }
    context.out << (raw ? delivery.text : terminalText(delivery.text, what))
                << (options.nullTerminated ? '\0' : '\n');
    if (source.mayWait()) context.out.flush();
    requireWritten(context.out);
    context.stage = "reading the messages";
  }
  context.stage = "ending the plug-in";
  session.end();
  return kExitOk;
}

}  // namespace qmxhost
