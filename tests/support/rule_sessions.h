// Random sessions of the plug-in for the differential tests of the rule
// loop's filters: a rule base as the host stores it, the case option, and
// then messages, reloads of other rule bases and changes of the option in
// turn. A session runs through an entry point with the test host and is
// recorded as the host sees it, so that two roads (or two builds) can be
// held to the same record.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host/plugin_module.h"
#include "tests/support/fake_host.h"

namespace qmxtest {

// The three rule columns as the host stores them.
struct StoredRules {
  std::string from;
  std::string to;
  std::string type;
};

struct SessionStep {
  enum class Kind { kMessage, kReload, kCaseOption };
  Kind kind = Kind::kMessage;
  std::string body;        // Message
  uint32_t flags = 0;      // Message
  StoredRules rules;       // Reload: the host's columns, then CALL_START
  int32_t caseOption = 0;  // CaseOption: the column's new value
};

struct RuleSession {
  StoredRules rules;
  int32_t caseOption = 0;
  int32_t incomingOption = 0;
  std::vector<SessionStep> steps;
};

// Rules drawn to meet each other: plain, dotted and pattern Froms, Perl
// rules with and without a literal they need, rules of neither kind, and
// To texts that write the Froms of other rules, so that one rule makes or
// breaks what a later one finds. At most `maxRules` rules.
StoredRules randomStoredRules(std::mt19937& random, int maxRules);
// A chat message made of the same words, separators and other bytes.
std::string randomRuleMessage(std::mt19937& random);
RuleSession randomRuleSession(std::mt19937& random);

// The session's rules and steps, readable in a failure message.
std::string describe(const RuleSession& session);

// What the host saw of a session: every call into it, in order, without
// addresses; the copies handed over; the entry point's answers.
struct HostTranscript {
  std::vector<std::string> calls;
  std::vector<std::string> copies;
  std::vector<int64_t> answers;
};

// One call into the host as the transcript writes it: the operation, and
// its column and value type, or its id (and a log line's text), or its
// code.
std::string transcriptLine(const HostEvent& event);
// A copy handed over with call 100, as the transcript writes it.
std::string transcriptCopy(const std::string& body, const std::string& ext, uint32_t flags);

// CALL_INIT with a test host answering from the session, CALL_START, the
// steps, CALL_END and CALL_DEINIT, through `proc`.
HostTranscript runRuleSession(qmxhost::MessageProc proc, const RuleSession& session);

}  // namespace qmxtest
