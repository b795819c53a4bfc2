// quillmax-host correct: messages through the plug-in one at a time, each
// result printed as soon as the messenger would deliver it.
#include <cstdio>
#include <istream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "correction/rule_loop.h"
#include "host/cli_arguments.h"
#include "host/cli_commands.h"
#include "host/escape_controls.h"
#include "host/rule_diagnostics.h"
#include "host/text_codec.h"
#include "shell/columns.h"

namespace qmxhost {

using namespace qmx;

namespace {

struct CorrectOptions {
  bool incoming = false;
  bool nullTerminated = false;
  bool trace = false;
  bool stats = false;
  std::vector<Arguments> rules;  // FROM, TO, TYPE, as typed
  Arguments messages;            // none: standard input
};

CorrectOptions correctOptions(const CommandLine& line) {
  CorrectOptions options;
  options.incoming = line.has("--incoming");
  options.nullTerminated = line.has("--null");
  options.trace = line.has("--trace");
  options.stats = line.has("--stats");
  for (const auto& [option, values] : line.options) {
    if (option == "--rule") options.rules.push_back(values);
  }
  options.messages = line.operands;
  return options;
}

// Adds the --rule rules after the stored ones, and says of each what
// `rules add` would say of it.
void addRunOnlyRules(ConfigStore& store, const CorrectOptions& options, std::ostream& err) {
  RuleStore rules = rulesOf(store);
  const size_t stored = rules.From.size();
  for (size_t i = 0; i < options.rules.size(); ++i) {
    const Arguments& rule = options.rules[i];
    const std::string what = "--rule " + std::to_string(i + 1);
    std::string from = storedRuleText(rule[0], what + " FROM");
    std::string to = storedRuleText(rule[1], what + " TO");
    rules.append(std::move(from), std::move(to), storedRuleType(rule[2], what + " TYPE"));
  }
  storeRules(store, rules);
  for (size_t i = stored; i < rules.From.size(); ++i) warnAboutRule(err, store, i);
}

// One message as read, and what the plug-in is given of it.
struct Message {
  std::string read;  // as it came, passed through when it cannot be corrected
  std::string text;  // in the plug-in's encoding
  // Why the plug-in cannot be given it (a character with no Windows-1250
  // form); empty when it can.
  std::string uncorrectable;
};

// The messages of one run, one at a time: the command's arguments, or
// standard input, read only as far as the message being sent.
class MessageSource {
 public:
  MessageSource(const CorrectOptions& options, bool raw, std::istream& in)
      : given_(options.messages), in_(in), raw_(raw), nullTerminated_(options.nullTerminated) {}

  // The next message into `message`; false at the end. Throws UsageError
  // for a line the plug-in would read only in part.
  bool next(Message& message) {
    ++number_;
    if (!given_.empty()) {
      if (number_ > given_.size()) return false;
      message.read = std::move(given_[number_ - 1]);
    } else if (!std::getline(in_, message.read, nullTerminated_ ? '\0' : '\n')) {
      return false;
    }
    // A NUL would end the text the plug-in reads: the rest of the line
    // would be lost without a word.
    if (given_.empty() && !nullTerminated_ && message.read.find('\0') != std::string::npos) {
      throw UsageError("line " + std::to_string(number_) +
                       " of standard input holds a NUL byte (NUL-terminated messages need "
                       "--null)");
    }
    convert(message);
    return true;
  }

  // Whether the next message may have to be waited for: what was printed
  // so far must then reach its reader first.
  bool mayWait() const { return given_.empty() && in_.rdbuf()->in_avail() <= 0; }
  std::string name() const { return "message " + std::to_string(number_); }
  // How the user counts what is read: "line 3", "record 3", "message 3".
  std::string place() const {
    return (!given_.empty()   ? "message "
            : nullTerminated_ ? "record "
                              : "line ") +
           std::to_string(number_);
  }
  std::string unit() const {
    return !given_.empty() ? "messages" : nullTerminated_ ? "records" : "lines";
  }

 private:
  void convert(Message& message) const {
    message.uncorrectable.clear();
    if (raw_) {
      message.text = message.read;
      return;
    }
    try {
      message.text = utf8ToCp1250(message.read);
    } catch (const TextCodecError& error) {
      const std::string bytes = message.read.substr(error.offset(), error.length());
      const std::string column =
          " at column " + std::to_string(characterColumn(message.read, error.offset()));
      if (error.length() == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(bytes[0]));
        message.uncorrectable = std::string("byte ") + byte + column + " is not UTF-8";
      } else {
        message.uncorrectable = "\"" + bytes + "\"" + column + " has no Windows-1250 form";
      }
    }
  }

  Arguments given_;
  std::istream& in_;
  bool raw_;
  bool nullTerminated_;
  size_t number_ = 0;
};

// What --trace and --stats learn from replaying the plug-in's rule loop
// over each message the plug-in changed.
class RuleReplay {
 public:
  RuleReplay(const CorrectOptions& options, const ConfigStore& store)
      : trace_(options.trace), stats_(options.stats) {
    if (!trace_ && !stats_) return;
    rules_ = rulesOf(store);
    caseSensitive_ = caseSensitiveIn(store);
    changed_.assign(rules_.From.size(), 0);
  }

  // Replays the rules over `message`; `loop` keeps what it prepares of the
  // rules from one message to the next, as the plug-in's does.
  void replay(std::ostream& err, const std::string& what, const std::string& message,
              const Delivery& delivery) {
    if ((!trace_ && !stats_) || !delivery.replaced) return;
    std::string replayed = message;
    loop_.apply(
        rules_, replayed, [&] { return caseSensitive_; },
        [&](size_t rule, const std::string& before, const std::string& after) {
          if (after == before) return;
          ++changed_.at(rule);
          if (!trace_) return;
          err << what << ": rule " << rule + 1 << ": \"" << displayText(before) << "\" -> \""
              << displayText(after) << "\"\n";
        });
    if (replayed != delivery.text) {
      err << what << ": the replayed rules give \"" << displayText(replayed)
          << "\", not what the plug-in delivered\n";
    }
  }

  // One line a rule: its number, how many messages it changed, its From.
  void report(std::ostream& err) const {
    if (!stats_) return;
    for (size_t rule = 0; rule < changed_.size(); ++rule) {
      std::string line = "rule " + std::to_string(rule + 1) + ": changed ";
      line += changed_[rule] == 0   ? std::string("no message")
              : changed_[rule] == 1 ? std::string("1 message")
                                    : std::to_string(changed_[rule]) + " messages";
      err << escapeControls(line + ": " + shownFrom(rules_.From[rule])) << '\n';
    }
  }

 private:
  bool trace_;
  bool stats_;
  RuleStore rules_;
  bool caseSensitive_ = false;
  RuleLoop loop_;
  std::vector<size_t> changed_;
};

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
  if (!options.rules.empty()) addRunOnlyRules(store, options, context.err);
  RuleReplay replay(options, store);
  context.stage = "reading the messages";
  MessageSource source(options, raw, context.in);

  context.stage = "loading the rules";
  Session session(context.options, store, context.err);
  const char end = options.nullTerminated ? '\0' : '\n';
  size_t count = 0;
  size_t passedThrough = 0;
  Message message;
  while (source.next(message)) {
    ++count;
    const std::string what = source.name();
    if (!message.uncorrectable.empty()) {
      // A real chat log holds what the plug-in cannot take (an emoji, say):
      // the line goes out as it came, and the run goes on.
      ++passedThrough;
      context.out.flush();
      context.err << "quillmax-host: "
                  << escapeControls(source.place() + ": " + message.uncorrectable)
                  << "; passed through uncorrected\n";
      context.out << message.read << end;
    } else {
      context.stage = "correcting " + what;
      const Delivery delivery = deliverOrFail(session.host(), message.text, options.incoming, what);
      replay.replay(context.err, what, message.text, delivery);
      context.out << (raw ? delivery.text : terminalText(delivery.text, what)) << end;
    }
    if (source.mayWait()) context.out.flush();
    requireWritten(context.out);
    context.stage = "reading the messages";
  }
  context.stage = "ending the plug-in";
  session.end();
  context.out.flush();
  replay.report(context.err);
  if (passedThrough == 0) return kExitOk;
  context.err << "quillmax-host: some " << source.unit() << " were not corrected: " << passedThrough
              << " of " << count << '\n';
  return kExitRefused;
}

}  // namespace qmxhost
