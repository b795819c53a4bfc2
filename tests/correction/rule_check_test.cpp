// The findings of a rule base that check reports beyond the patterns that
// never compile: each family of mistakes, with the rules it must name and
// the sound rules it must leave alone. Texts are Windows-1250, as the
// plug-in holds them (the comments give them in UTF-8).
#include "correction/rule_check.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace qmx;

namespace {

constexpr RuleKind kWord = RuleKind::kWord;
constexpr RuleKind kPerl = RuleKind::kPerl;

// The reasons of the findings of `kind` about one rule.
std::vector<std::string> reasons(FindingKind kind, RuleKind rule, const std::string& from,
                                 const std::string& to = "x", bool caseSensitive = false) {
  std::vector<std::string> found;
  for (const RuleFinding& finding : checkRule(0, rule, from, to, caseSensitive)) {
    if (finding.kind == kind) found.push_back(finding.reason);
  }
  return found;
}

std::vector<std::string> expected(const std::string& reason) {
  return reason.empty() ? std::vector<std::string>{} : std::vector<std::string>{reason};
}

struct PatternCase {
  RuleKind kind;
  std::string from;
  bool caseSensitive;
  std::string reason;  // empty: no finding
};

TEST(RuleCheck, letters_outside_a_to_z_where_case_is_ignored) {
  const std::string only = "case is ignored only for A\x96Z: ";
  const PatternCase cases[] = {
      {kWord, "", false, ""},
      // źle: «Źle» starts a sentence
      {kWord,
       "\x9f"
       "le",
       false,
       only + "\xab\x8f"
              "le\xbb is not matched by \xab\x9f"
              "le\xbb"},
      {kWord,
       "\x9f"
       "le",
       true, ""},  // the case option on: matched exactly anyway
      {kWord,
       "wog\xf3"
       "le",
       false, ""},                         // wogóle: «Wogóle» is matched
      {kWord, "[\x9f\x8f]le", false, ""},  // [źŹ]le lists both
      {kWord, "(\x9f|z)le", false, only + "\xab\x8f\xbb is not matched by \xab\x9f\xbb"},
      {kWord,
       "(?-i)\x9f"
       "le",
       false, ""},
      {kWord,
       "\xdf"
       "e",
       false, ""},  // ß has no other case
      {kPerl,
       "/\x9f"
       "le/",
       false, ""},
      {kPerl,
       "/wog\xf3"
       "le/i",
       false,
       only + "\xab"
              "WOG\xd3"
              "LE\xbb is not matched by \xab"
              "wog\xf3"
              "le\xbb"},
      {kPerl, "/\xaf\xd3\xa3W/i", false,  // ŻÓŁW
       only + "\xab\xbf\xf3\xb3w\xbb is not matched by \xab\xaf\xd3\xa3W\xbb"},
      {kPerl, "/(?i)\xbf\xf3\xb3w/", false, only + "\xab\xaf\xbb is not matched by \xab\xbf\xbb"},
      {kPerl, "/\\Q\x9f\\E/i", false, only + "\xab\x8f\xbb is not matched by \xab\x9f\xbb"},
      {kPerl, "/[\xb9]/i", false, only + "\xab\xa5\xbb is not matched by \xab\xb9\xbb"},
      {kPerl, "/(?i:a)\x9f/", false, ""},
      {kPerl, "/\x9f(?i)/", false, ""},
      {kPerl, "/(?-i)\x9f/i", false, ""},
      {kPerl, "/x(?#\xb9)/i", false, ""},
      {kPerl, "/a # \xb9\n/xi", false, ""},
      {kPerl, "/\xdf/i", false, ""},
  };
  for (const PatternCase& c : cases) {
    SCOPED_TRACE(c.from);
    EXPECT_EQ(reasons(FindingKind::kCaseNotIgnored, c.kind, c.from, "x", c.caseSensitive),
              expected(c.reason));
  }
}

TEST(RuleCheck, word_assertions_beside_letters_outside_a_to_z) {
  const std::string notWord =
      " is not a word character here (only A\x96Z, a\x96z, 0\x96"
      "9 and _ are): beside it ";
  const PatternCase cases[] = {
      {kPerl, "/\\bkot\\b/", false, ""},
      {kPerl,
       "/\\b\xbf"
       "aba\\b/",
       false,  // \bżaba\b
       "\xab\xbf\xbb" + notWord + "\"\\b\" treats it as it treats a space"},
      {kPerl, "/\\w+\x9c\xe6/", false,
       "\xab\x9c\xbb" + notWord + "\"\\w\" treats it as it treats a space"},
      {kPerl, "/\\B\xb9|\xb9\\W/", false,
       "\xab\xb9\xbb" + notWord + "\"\\B\" \"\\W\" treat it as they treat a space"},
      {kPerl, "/[\\w\xb9]+/", false, ""},  // the class lists ą itself
      {kPerl, "/[\xb9]\\b/", false, ""},
      {kPerl, "/\\\\b\xb9/", false, ""},  // a backslash, then «bą»
      {kPerl, "/\xb9\\s/", false, ""},
      {kWord, "\\w\xb9", true, "\xab\xb9\xbb" + notWord + "\"\\w\" treats it as it treats a space"},
  };
  for (const PatternCase& c : cases) {
    SCOPED_TRACE(c.from);
    EXPECT_EQ(reasons(FindingKind::kNotWordCharacter, c.kind, c.from, "x", c.caseSensitive),
              expected(c.reason));
  }
}

TEST(RuleCheck, a_perl_to_naming_a_group_the_pattern_lacks) {
  const struct {
    std::string from, to, reason;
  } cases[] = {
      {"/(a)(b)/", "", ""},
      {"/(a)(b)/", "$1$2$0$&x$", ""},
      {"/(?<n>a)/", "$1", ""},
      {"/(/", "$5", ""},  // never compiles, which is said already
      {"/(a)(b)/", "$3$2", "To holds \"$3\", but the pattern has 2 groups: it puts in nothing"},
      {"/a/", "$1 $9 $1",
       "To holds \"$1\" \"$9\", but the pattern has no groups: they put in nothing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from + " " + c.to);
    EXPECT_EQ(reasons(FindingKind::kMissingGroup, kPerl, c.from, c.to), expected(c.reason));
  }
}

TEST(RuleCheck, a_word_from_written_as_a_perl_pattern) {
  const struct {
    std::string from;
    bool fires;
  } cases[] = {
      {"", false},        {"/", false},     {"//", false},     {"/kot", false},
      {"kotek", false},   {"a/b/", false},  {"1/2/", false},   {"..x..", false},
      {"/kot/ab", false}, {"/\xf3/", true}, {"/kot/gi", true}, {"#a#", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    EXPECT_EQ(reasons(FindingKind::kPerlLookingWord, kWord, c.from),
              expected(c.fires ? "this is a word rule, which matches the \"" + c.from.substr(0, 1) +
                                     "\" as text; did you mean type perl?"
                               : ""));
  }
  EXPECT_TRUE(reasons(FindingKind::kPerlLookingWord, kPerl, "/kot/").empty());
}

// Offsets are counted in the From the user typed, not in the pattern a
// word rule builds around it (where From stands twice in pass 1).
TEST(RuleCheck, a_word_rules_refused_pattern_is_placed_in_its_from) {
  const std::string outside = ", found after From in the pattern a word rule builds around it";
  const struct {
    std::string from;
    bool caseSensitive;
    std::vector<std::pair<int, int>> passAndOffset;
    std::vector<std::string> reasons;
  } cases[] = {
      {"kot(", false, {{kWholeRule, -1}}, {"missing )" + outside}},
      {"a{2,1}", true, {{kWholeRule, 5}}, {"numbers out of order in {} quantifier"}},
      {"*kot", false, {{0, 0}, {1, 0}}, {"nothing to repeat", "nothing to repeat"}},
      {"ko)t",
       false,
       {{0, 2}, {1, -1}, {2, -1}},
       {"unmatched parentheses", "unmatched parentheses" + outside,
        "unmatched parentheses" + outside}},
      // In pass 0 the name is defined twice: the fault is in From's second copy.
      {"(?<n>a)\\k<m>",
       false,
       {{0, 4}, {1, 11}, {2, 11}},
       {"two named subpatterns have the same name", "reference to non-existent subpattern",
        "reference to non-existent subpattern"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    std::vector<std::pair<int, int>> places;
    std::vector<std::string> found;
    for (const RuleFinding& f : checkRule(0, kWord, c.from, "x", c.caseSensitive)) {
      if (f.kind != FindingKind::kPatternRefused) continue;
      places.emplace_back(f.pass, f.offset);
      found.push_back(f.reason);
    }
    EXPECT_EQ(places, c.passAndOffset);
    EXPECT_EQ(found, c.reasons);
  }
}

TEST(RuleCheck, rules_with_the_same_from_as_an_earlier_one) {
  const struct {
    std::vector<std::pair<std::string, const char*>> rules;  // From and stored type
    std::vector<std::pair<size_t, size_t>> laterAndEarlier;  // rule numbers from 1
  } cases[] = {
      {{}, {}},
      {{{"kot", "0"}, {"kota", "0"}, {"\xdf", "0"}, {"SS", "0"}}, {}},
      {{{"kot", "2"}, {"kot", "0"}}, {}},  // the first never runs
      {{{"kot", "0"}, {"x", "0"}, {"Kot", "0"}, {"kOT", "1"}}, {{3, 1}, {4, 1}}},
      {{{"\x8f"
         "le",
         "0"},
        {"\x9f"
         "le",
         "1"}},
       {{2, 1}}},  // Źle, źle
  };
  for (const auto& c : cases) {
    RuleStore store;
    for (const auto& rule : c.rules) {
      store.From.push_back(rule.first);
      store.To.push_back("x");
      store.Type.push_back(rule.second);
    }
    std::vector<std::pair<size_t, std::string>> found, expected;
    for (const RuleFinding& f : checkRules(store, false)) {
      if (f.kind == FindingKind::kSameFrom) found.emplace_back(f.rule + 1, f.reason);
    }
    for (const auto& pair : c.laterAndEarlier) {
      const std::string rule = "rule " + std::to_string(pair.second);
      expected.emplace_back(pair.first, "the same From as " + rule +
                                            " (letter case aside): this rule never fires on what " +
                                            rule + " replaced");
    }
    EXPECT_EQ(found, expected);
  }
}

}  // namespace
