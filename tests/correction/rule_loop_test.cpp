// The rule loop with its filters against the loop without them, over many
// messages with one loop: random rule bases, case answers that change from
// read to read, rule bases replaced between messages and rules changed by
// the host while a rule asks for the case option, calling back into the
// loop as it does so. The texts, the reads and the rule lists left behind
// must be the same; the filters must pass over many rules.
#include "correction/rule_loop.h"
#include "correction/prepared_rules.h"

#include <gtest/gtest.h>

#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "correction/literal_presence.h"
#include "correction/rule_prefilter.h"
#include "tests/support/rule_sessions.h"

using namespace qmx;

namespace {

constexpr size_t kNoChange = static_cast<size_t>(-1);

// At the host's change, a host may also call back into the plug-in: a
// message corrected, the loop released, inside the read.
void callBack(RuleLoop* loop, const RuleStore& rules) {
  std::string inner = "kot np. kot";
  const auto caseInsensitive = [] { return false; };
  if (!loop) {
    applyRules(rules, inner, caseInsensitive);
    return;
  }
  loop->apply(rules, inner, caseInsensitive);
  loop->release();
}

// One road's rules and what a message did on it.
struct Road {
  explicit Road(RuleStore r) : rules(std::move(r)) {}
  RuleStore rules;
  std::string text;
  size_t reads = 0;
  size_t ran = 0;
};

// The host's change at read `changeAt`: a rule appended, or the first one
// removed.
void changeRules(RuleStore& rules, bool append) {
  if (append || rules.From.empty()) {
    rules.From.push_back("kot");
    rules.To.push_back("np.");
    rules.Type.push_back("0");
  } else {
    rules.From.erase(rules.From.begin());
    rules.To.erase(rules.To.begin());
    rules.Type.erase(rules.Type.begin());
  }
  rules.revision = newRuleRevision();
}

void runMessage(Road& road, RuleLoop* loop, const std::string& message,
                const std::vector<bool>& answers, size_t changeAt, bool append) {
  road.text = message;
  road.reads = 0;
  road.ran = 0;
  auto caseSensitive = [&] {
    if (road.reads == changeAt) {
      changeRules(road.rules, append);
      callBack(loop, road.rules);
    }
    return static_cast<bool>(answers[road.reads++ % answers.size()]);
  };
  auto observer = [&road](size_t, const std::string&, const std::string&) { ++road.ran; };
  if (loop) {
    loop->apply(road.rules, road.text, caseSensitive, observer);
  } else {
    applyRules(road.rules, road.text, caseSensitive, observer);
  }
}

TEST(RuleLoop, filters_change_no_text_and_no_read) {
  std::mt19937 random(20261212);
  RuleLoop loop;
  size_t passedOver = 0;
  for (int round = 0; round < 600; ++round) {
    const qmxtest::StoredRules stored = qmxtest::randomStoredRules(random, 12);
    Road unfiltered(parseRuleColumns(stored.from, stored.to, stored.type));
    Road filtered(unfiltered.rules);
    for (int message = 0; message < 4; ++message) {
      const std::string text = qmxtest::randomRuleMessage(random);
      std::vector<bool> answers;
      const int kind = static_cast<int>(random() % 3);
      if (kind < 2) answers = {kind == 1};
      while (answers.size() < 5 && kind == 2) answers.push_back(random() % 2 == 0);
      const size_t changeAt = random() % 8 == 0 ? random() % 12 : kNoChange;
      const bool append = random() % 2 == 0;
      runMessage(unfiltered, nullptr, text, answers, changeAt, append);
      runMessage(filtered, &loop, text, answers, changeAt, append);
      const std::string where = "text \xab" + text + "\xbb rules \xab" + stored.from + "\xbb \xab" +
                                stored.to + "\xbb \xab" + stored.type + "\xbb change at " +
                                std::to_string(changeAt);
      ASSERT_EQ(filtered.text, unfiltered.text) << where;
      ASSERT_EQ(filtered.reads, unfiltered.reads) << where;
      ASSERT_EQ(filtered.rules.From, unfiltered.rules.From) << where;
      passedOver += unfiltered.ran - filtered.ran;
    }
  }
  EXPECT_GT(passedOver, 3000u);
}

// Fault: a rule whose literal analysis ran out of memory took the whole
// preparation of the rule base down, at every message, and no rule
// corrected anything. Now that rule alone is never passed over, and the
// failure is kept rather than met again.
TEST(RulePrefilter, a_rule_whose_analysis_fails_is_never_passed_over) {
  RuleStore rules;
  rules.From = {"/zly/", "/pies/", "k(o)t"};
  rules.To = {"x", "y", "z"};
  rules.Type = {"1", "1", "0"};
  int analyses = 0;
  const PreparedRules prepared(rules, [&](const std::string& expression, uint32_t options) {
    ++analyses;
    if (expression == "zly") throw std::bad_alloc();
    return requiredLiterals(expression, options);
  });
  const RulePrefilter& prefilter = prepared.prefilter();
  LiteralPresence presence(prefilter.automaton());
  presence.start("nic tu nie ma");
  for (const bool caseSensitive : {false, true}) {
    const PassCases passes(caseSensitive, caseSensitive, caseSensitive);
    EXPECT_TRUE(prefilter.mayChange(prepared[0].needs, passes, presence));
    EXPECT_FALSE(prefilter.mayChange(prepared[1].needs, passes, presence));
    EXPECT_FALSE(prefilter.mayChange(prepared[2].needs, passes, presence));
  }
  EXPECT_EQ(analyses, 4) << "each Perl rule once, the word rule once for each case";
}

}  // namespace
