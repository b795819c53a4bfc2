// Passing over the rules the prefilter rules out must change nothing the
// host can see: random rule bases (literal and pattern Froms, Perl rules,
// both case answers, rules whose To makes or breaks a later rule's From)
// run with and without it must give the same texts and ask the case option
// the same times in the same order.
#include "correction/rule_prefilter.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "correction/rule_application.h"
#include "rules/rule_columns.h"

using namespace qmx;

namespace {

const std::vector<std::string> kWords = {"kot", "KOT", "Kot",   "pies", "ko",    "ot",
                                         "a",   "b b", "\xb9z", "np.",  "m.in.", "tak"};
const std::vector<std::string> kPatternFroms = {"np\\.",  "np.",    "m.in.", "k.t",    "ko?t",
                                                "[kK]ot", "a|b",    "(k)ot", "kot(",   "",
                                                "p+ies",  "\\bkot", "k\\wt", "o(?=t)", "k(o)\\1"};
const std::vector<std::string> kPerlFroms = {
    "/kot/",      "/kot/i", "/a(b)?c/i", "/ +([,.!?])/", "/k.t/",      "/x*/",
    "/(a)\\1/",   "/t$/m",  "/a/8",      "/[ab]c/i",     "/(?i)kot/",  "/kot(?=a)/",
    "/pies|kot/", "/\\d+/", "/K/",       "#o#",          "/colou?r/i", "/np\\./"};
const std::vector<std::string> kTos = {"pies", "kot", "Kot", "", "$1", "$2x", "kot pies", "np."};
const std::vector<std::string> kSeparators = {" ", ".", ",", "\n", "-", "!", ""};

template <typename T>
const T& pick(std::mt19937& random, const std::vector<T>& from) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
}

RuleStore randomRuleBase(std::mt19937& random) {
  RuleStore rules;
  const int count = std::uniform_int_distribution<int>(1, 8)(random);
  for (int i = 0; i < count; ++i) {
    const int kind = std::uniform_int_distribution<int>(0, 9)(random);
    int type = TYPE_WORD;
    std::string from;
    if (kind < 5) {
      from = pick(random, kWords);
    } else if (kind < 7) {
      from = pick(random, kPatternFroms);
    } else if (kind < 9) {
      type = TYPE_PERL;
      from = pick(random, kPerlFroms);
    } else {
      type = 2;  // kept, never applied
      from = pick(random, kWords);
    }
    rules.From.push_back(from);
    rules.To.push_back(pick(random, kTos));
    rules.Type.push_back(std::to_string(type));
  }
  return rules;
}

std::string randomText(std::mt19937& random) {
  std::string text;
  const int words = std::uniform_int_distribution<int>(0, 8)(random);
  for (int i = 0; i < words; ++i) text += pick(random, kWords) + pick(random, kSeparators);
  return text;
}

// What the host sees of one message: the text and which rule asked for
// the case option, read by read.
struct Outcome {
  std::string text;
  std::vector<size_t> caseReads;
  size_t skipped = 0;
};

// The rule loop, with the prefilter or (null) without it.
Outcome applyRules(std::string text, const RuleStore& rules, const std::vector<bool>& answers,
                   const RulePrefilter* prefilter) {
  Outcome outcome;
  std::optional<LiteralPresence> presence;
  if (prefilter) {
    presence.emplace(prefilter->automaton());
    presence->start(text);
  }
  for (size_t i = 0; i < rules.From.size(); ++i) {
    const int type = readTypeNumber(rules.Type[i]);
    bool caseSensitive[kWordRulePasses] = {};
    if (type == TYPE_WORD) {
      for (bool& answer : caseSensitive) {
        answer = answers[outcome.caseReads.size() % answers.size()];
        outcome.caseReads.push_back(i);
      }
    }
    if (prefilter && !prefilter->mayChange(i, caseSensitive, *presence)) {
      ++outcome.skipped;
      continue;
    }
    const std::string before = text;
    if (type == TYPE_WORD) {
      int pass = 0;
      applyWordRule(text, rules.From[i], rules.To[i], [&] { return caseSensitive[pass++]; });
    } else if (type == TYPE_PERL) {
      applyPerlRule(text, rules.From[i], rules.To[i]);
    }
    if (presence) presence->update(before, text);
  }
  outcome.text = text;
  return outcome;
}

TEST(RulePrefilter, passing_over_rules_changes_nothing_the_host_sees) {
  std::mt19937 random(20261212);
  size_t skipped = 0;
  size_t changedByRules = 0;
  for (int round = 0; round < 1000; ++round) {
    const RuleStore rules = randomRuleBase(random);
    const RulePrefilter prefilter(rules);
    const std::string text = randomText(random);
    std::vector<bool> answers;
    switch (random() % 3) {
      case 0:
        answers = {false};
        break;
      case 1:
        answers = {true};
        break;
      default:
        for (int i = 0; i < 5; ++i) answers.push_back(random() % 2 == 0);
    }
    const Outcome all = applyRules(text, rules, answers, nullptr);
    const Outcome filtered = applyRules(text, rules, answers, &prefilter);
    std::string base;
    for (size_t i = 0; i < rules.From.size(); ++i) {
      base += "«" + rules.From[i] + "»→«" + rules.To[i] + "»/" + rules.Type[i] + " ";
    }
    ASSERT_EQ(filtered.text, all.text) << "text «" << text << "» rules " << base;
    ASSERT_EQ(filtered.caseReads, all.caseReads) << base;
    skipped += filtered.skipped;
    changedByRules += all.text != text;
  }
  // Proof only if the filter passed over rules often, among texts the rules
  // did change.
  EXPECT_GT(skipped, 1500u);
  EXPECT_GT(changedByRules, 400u);
}

}  // namespace
