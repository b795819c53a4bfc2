#include "tests/support/rule_sessions.h"

#include "shell/call_ids.h"
#include "shell/element_ids.h"
#include "shell/host_control.h"
#include "tests/support/chat_messages.h"

namespace qmxtest {

using namespace qmx;

namespace {

// Words of the messages, and plain-literal Froms: letters of both cases, a
// Polish letter, separators and other bytes inside some.
const std::vector<std::string> kWords = {
    "kot",  "KOT",      "Kot", "pies", "ko",    "ot", "a",  "b b", "\xb9z", "tak",  "np",
    "m.in", "kot-pies", "kat", "kit",  "color", "12", "zl", "ZL",  "koty",  "\xa5Z"};
// Froms whose only pattern character is the full stop.
const std::vector<std::string> kDottedFroms = {"np.", "m.in.", "k.t", "p.", ".ot", "a.b", "K.T"};
// Froms holding other pattern text: classes, groups, repeats, escapes, a
// lookahead, a backreference, the empty From, one that never compiles.
const std::vector<std::string> kPatternFroms = {"np\\.",  "ko?t",    "[kK]ot", "a|b",    "(k)ot",
                                                "kot(",   "",        "p+ies",  "\\bkot", "k\\wt",
                                                "o(?=t)", "k(o)\\1", "k.*t",   "-?kot",  "\\d+"};
// Perl rules with a literal they need and without one (lookarounds, an
// empty match, option settings), a pattern that never compiles.
const std::vector<std::string> kPerlFroms = {"/kot/",
                                             "/kot/i",
                                             "/a(b)?c/i",
                                             "/ +([,.!?])/",
                                             "/k.t/",
                                             "/x*/",
                                             "/(a)\\1/",
                                             "/t$/m",
                                             "/a/8",
                                             "/[ab]c/i",
                                             "/(?i)kot/",
                                             "/kot(?=a)/",
                                             "/pies|kot/",
                                             "/\\d+/",
                                             "/K/",
                                             "#o#",
                                             "/colou?r/i",
                                             "/np\\./",
                                             "/([!?])\\1+/",
                                             "/\\s{2,}/",
                                             "/(/",
                                             "/\\.{2,}/",
                                             "/(\\d+) ?zl\\b/i",
                                             "/\\bkot(a|y|e)\\b/i"};
// To texts that write other rules' Froms, separators, group references.
const std::vector<std::string> kTos = {"pies", "kot", "Kot", "",   "$1",    "$2x",  "kot pies",
                                       "np.",  " ,",  "!!",  "  ", "m.in.", "5 zl", "KOT"};
const std::vector<std::string> kSeparators = {" ", ".",  ",",  "\n", "-",    "!",  "?",
                                              "",  "  ", "\t", ";",  "\r\n", "..."};
// Type texts as atoi reads them: word rules, Perl rules, rules of neither
// kind.
const std::vector<std::string> kWordTypes = {"0", "0", "0", "x", " +0", ""};
const std::vector<std::string> kPerlTypes = {"1", "1", "01", "1x"};
const std::vector<std::string> kInertTypes = {"2", "-1"};

template <typename T>
const T& pick(std::mt19937& random, const std::vector<T>& from) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
}

int below(std::mt19937& random, int bound) {
  return std::uniform_int_distribution<int>(0, bound - 1)(random);
}

std::string eventTail(const HostEvent& event) {
  if (event.valueType == kConfigText) return " \xab" + event.text + "\xbb";
  return " = " + std::to_string(event.value);
}

}  // namespace

StoredRules randomStoredRules(std::mt19937& random, int maxRules) {
  StoredRules rules;
  const int count = 1 + below(random, maxRules);
  for (int i = 0; i < count; ++i) {
    const int kind = below(random, 20);
    std::string from;
    std::string type;
    if (kind < 8) {
      from = pick(random, kWords);
      type = pick(random, kWordTypes);
    } else if (kind < 11) {
      from = pick(random, kDottedFroms);
      type = pick(random, kWordTypes);
    } else if (kind < 13) {
      from = pick(random, kPatternFroms);
      type = pick(random, kWordTypes);
    } else if (kind < 19) {
      from = pick(random, kPerlFroms);
      type = pick(random, kPerlTypes);
    } else {
      from = pick(random, kWords);
      type = pick(random, kInertTypes);
    }
    rules.from += from + "\r\n";
    rules.to += pick(random, kTos) + "\r\n";
    rules.type += type + "\r\n";
  }
  return rules;
}

std::string randomRuleMessage(std::mt19937& random) {
  std::string text;
  // Now and then a long one, where a rule's rewrite is re-counted in a
  // window around it rather than in the whole text.
  const int words = below(random, 8) == 0 ? 20 + below(random, 40) : below(random, 9);
  for (int i = 0; i < words; ++i) {
    text += below(random, 6) == 0 ? pick(random, kDottedFroms) : pick(random, kWords);
    text += pick(random, kSeparators);
  }
  return text;
}

RuleSession randomRuleSession(std::mt19937& random) {
  RuleSession session;
  session.rules = randomStoredRules(random, 10);
  session.caseOption = below(random, 2);
  session.incomingOption = below(random, 2);
  const int steps = 2 + below(random, 5);
  for (int i = 0; i < steps; ++i) {
    SessionStep step;
    const int kind = below(random, 10);
    if (kind < 7) {
      step.body = randomRuleMessage(random);
      step.flags = below(random, 10) == 0 ? 0u : static_cast<uint32_t>(kMsgOutgoing);
    } else if (kind < 9) {
      step.kind = SessionStep::Kind::kReload;
      step.rules = randomStoredRules(random, 10);
    } else {
      step.kind = SessionStep::Kind::kCaseOption;
      step.caseOption = below(random, 2);
    }
    session.steps.push_back(std::move(step));
  }
  return session;
}

std::string describe(const RuleSession& session) {
  auto rules = [](const StoredRules& stored) {
    return "From \xab" + stored.from + "\xbb To \xab" + stored.to + "\xbb Type \xab" + stored.type +
           "\xbb";
  };
  std::string text = rules(session.rules) + " case " + std::to_string(session.caseOption) +
                     " incoming " + std::to_string(session.incomingOption);
  for (const SessionStep& step : session.steps) {
    switch (step.kind) {
      case SessionStep::Kind::kMessage:
        text += "\nmessage \xab" + step.body + "\xbb flags " + std::to_string(step.flags);
        break;
      case SessionStep::Kind::kReload:
        text += "\nreload " + rules(step.rules);
        break;
      case SessionStep::Kind::kCaseOption:
        text += "\ncase " + std::to_string(step.caseOption);
        break;
    }
  }
  return text;
}

std::string transcriptLine(const HostEvent& event) {
  switch (event.operation) {
    case kHostOpGetPluginInstance:
      return "instance";
    case kHostOpReportNoResult:
      return "no result " + std::to_string(event.code);
    case kHostOpHostCall:
      return "call " + std::to_string(event.id) + (event.id == HOST_LOG ? " " + event.text : "");
    case kHostOpReadConfig:
      return "read " + std::to_string(event.column) + " type " + std::to_string(event.valueType);
    case kHostOpWriteConfig:
      return "write " + std::to_string(event.column) + eventTail(event);
    default:
      return "operation " + std::to_string(event.operation);
  }
}

std::string transcriptCopy(const std::string& body, const std::string& ext, uint32_t flags) {
  return "\xab" + body + "\xbb ext \xab" + ext + "\xbb flags " + std::to_string(flags);
}

HostTranscript runRuleSession(qmxhost::MessageProc proc, const RuleSession& session) {
  HostTranscript transcript;
  FakeHost host;
  host.setRuleColumns(session.rules.from, session.rules.to, session.rules.type);
  host.intColumns[kColumnCaseSensitive] = session.caseOption;
  host.intColumns[kColumnIncoming] = session.incomingOption;
  host.onHostCall = [&transcript](const IMessageArgs& record) -> intptr_t {
    if (record.id != HOST_SEND_MESSAGE) return 0;
    const auto* copy = reinterpret_cast<const ChatMessage*>(record.p1);
    transcript.copies.push_back(transcriptCopy(reinterpret_cast<const char*>(copy->body),
                                               reinterpret_cast<const char*>(copy->ext),
                                               copy->flags));
    return static_cast<intptr_t>(transcript.copies.size());
  };
  qmxhost::callPlugin(proc, CALL_INIT, host.address());
  qmxhost::callPlugin(proc, CALL_START);
  for (const SessionStep& step : session.steps) {
    switch (step.kind) {
      case SessionStep::Kind::kMessage: {
        const std::string ext;
        ChatMessage message = chatMessage(step.body, ext, step.flags);
        transcript.answers.push_back(
            qmxhost::callPlugin(proc, CALL_MESSAGE, reinterpret_cast<intptr_t>(&message)));
        break;
      }
      case SessionStep::Kind::kReload:
        host.setRuleColumns(step.rules.from, step.rules.to, step.rules.type);
        qmxhost::callPlugin(proc, CALL_START);
        break;
      case SessionStep::Kind::kCaseOption:
        host.intColumns[kColumnCaseSensitive] = step.caseOption;
        break;
    }
  }
  qmxhost::callPlugin(proc, CALL_END);
  qmxhost::callPlugin(proc, CALL_DEINIT);
  for (const HostEvent& event : host.events) transcript.calls.push_back(transcriptLine(event));
  return transcript;
}

}  // namespace qmxtest
