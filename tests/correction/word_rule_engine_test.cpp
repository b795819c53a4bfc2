// The fast road for word rules (skipping a literal that is not there, and
// running a literal without the pattern engine) must give exactly what the
// three patterns give. Proven on random rules, texts and case answers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "correction/literal_word_rule.h"
#include "correction/rule_application.h"
#include "correction/word_road.h"
#include "regex/regex_replacer.h"
#include "regex/template_expansion.h"

using namespace qmx;

namespace {

// Bytes that matter to word rules: letters of both cases, every separator,
// bytes that are no separator, and a Polish letter.
const char kTextBytes[] = "aAbBkK .,!?-\r\n;\t\xb9\xa5";
const char kLiteralBytes[] = "aAbBkK ,!-\r\n;\xb9";
const std::vector<std::string> kTemplates = {"",     "X",  "$1", "$2", "$3",     "$&",
                                             "[$0]", "$9", "5x", "$",  "$2$1$3", "\\$1"};

std::string randomText(std::mt19937& random, const char* alphabet, size_t maxLength,
                       size_t minLength = 0) {
  const size_t alphabetSize = std::char_traits<char>::length(alphabet);
  std::uniform_int_distribution<size_t> length(minLength, maxLength);
  std::uniform_int_distribution<size_t> pick(0, alphabetSize - 1);
  std::string text(length(random), ' ');
  for (char& c : text) c = alphabet[pick(random)];
  return text;
}

// `from` with the case of some ASCII letters changed, as a user types it.
std::string withMixedCase(std::mt19937& random, std::string from) {
  std::bernoulli_distribution flip(0.3);
  for (char& c : from) {
    if (c >= 'a' && c <= 'z' && flip(random)) c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z' && flip(random)) c = static_cast<char>(c - 'A' + 'a');
  }
  return from;
}

// A text that holds `from` somewhere, often next to separators or at an
// end (before a final line feed too), so the passes have something to find.
std::string textAround(std::mt19937& random, const std::string& from) {
  std::bernoulli_distribution coin(0.5);
  std::string text = coin(random) ? "" : randomText(random, kTextBytes, 8);
  const int copies = std::uniform_int_distribution<int>(1, 3)(random);
  for (int i = 0; i < copies; ++i) {
    text += withMixedCase(random, from);
    const int end = std::uniform_int_distribution<int>(0, 3)(random);
    text += end == 0 ? "" : end == 1 ? "\n" : randomText(random, kTextBytes, 6);
  }
  return text;
}

std::string throughPatterns(std::string text, const std::string& from, const std::string& to,
                            const PassCases& cases) {
  RegexReplacer replacer;
  runWordRule(text, from, to, cases, kPatternsInFull, replacer);
  return text;
}

TEST(LiteralWordRule, gives_what_the_three_patterns_give) {
  std::mt19937 random(20261208);
  std::bernoulli_distribution coin(0.5);
  std::uniform_int_distribution<size_t> pickTemplate(0, kTemplates.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    const std::string from = randomText(random, kLiteralBytes, 4, 1);
    ASSERT_TRUE(isPlainLiteral(from));
    const std::string text =
        coin(random) ? textAround(random, from) : randomText(random, kTextBytes, 24);
    const std::string& to = kTemplates[pickTemplate(random)];
    const bool pass0 = coin(random);
    const bool pass1 = coin(random);
    const bool pass2 = coin(random);
    const PassCases cases(pass0, pass1, pass2);
    std::string fast = text;
    applyLiteralWordRule(fast, from, to, cases);
    ASSERT_EQ(fast, throughPatterns(text, from, to, cases))
        << "From «" << from << "» To «" << to << "» text «" << text << "» case " << pass0 << pass1
        << pass2;
  }
}

// The runs of separators where the patterns backtrack the most.
TEST(LiteralWordRule, long_separator_runs_give_the_pattern_results) {
  const std::vector<std::string> texts = {
      std::string(300, '.') + "kot",
      "kot" + std::string(300, ','),
      std::string(200, '-') + "kot" + std::string(200, '!'),
      std::string(100, '.') + "kot.kot.kot" + std::string(100, '.') + "kot\n",
  };
  const PassCases caseSensitive(false, false, false);
  for (const std::string& text : texts) {
    for (const std::string& from : {std::string("kot"), std::string("-kot"), std::string("kot!")}) {
      std::string fast = text;
      applyLiteralWordRule(fast, from, "pies", caseSensitive);
      EXPECT_EQ(fast, throughPatterns(text, from, "pies", caseSensitive)) << from;
    }
  }
}

// A template that writes a megabyte a word: both roads stop at the same
// replacement once the text would grow too long, the rest as it stood.
TEST(LiteralWordRule, both_roads_stop_where_the_room_for_replacements_ends) {
  std::string text;
  while (text.size() < 400) text += "kot ";
  const std::string to = std::string(1 << 20, 'x');
  const PassCases caseSensitive(false, false, false);
  std::string fast = text;
  applyLiteralWordRule(fast, "kot", to, caseSensitive);
  const std::string patterns = throughPatterns(text, "kot", to, caseSensitive);
  EXPECT_TRUE(fast == patterns) << fast.size() << " and " << patterns.size() << " bytes";
  EXPECT_NE(fast.find(" kot kot "), std::string::npos);
  EXPECT_LE(fast.size(), kLongestResult);
}

// A fixed-length From (plain, or with full stops) that does not stand as a
// word in the text gives no pass anything to replace.
TEST(LiteralWordRule, no_pass_changes_a_text_where_the_from_is_no_word) {
  std::mt19937 random(20261213);
  std::bernoulli_distribution coin(0.5);
  const char kFromBytes[] = "aAkK. ,-\n\xb9";
  size_t absent = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string from = randomText(random, kFromBytes, 4, 1);
    ASSERT_TRUE(isFixedLengthFrom(from)) << from;
    const std::string text =
        coin(random) ? textAround(random, from) : randomText(random, kTextBytes, 16);
    const bool caseSensitive = coin(random);
    if (occursAsWord(text, from, caseSensitive)) continue;
    ++absent;
    const PassCases passes(caseSensitive, caseSensitive, caseSensitive);
    ASSERT_EQ(throughPatterns(text, from, "X", passes), text)
        << "From \xab" << from << "\xbb text \xab" << text << "\xbb case " << caseSensitive;
  }
  EXPECT_GT(absent, 5000u);
}

struct LiteralCase {
  const char* from;
  bool plain;
};

TEST(LiteralWordRule, only_texts_without_pattern_characters_are_plain_literals) {
  const LiteralCase cases[] = {
      {"", false},    {"kot", true},      {"k.t", false},  {"a+", false},  {"(a)", false},
      {"a|b", false}, {"[ab]", false},    {"a{2}", false}, {"\\d", false}, {"^a", false},
      {"a$", false},  {"a?", false},      {"a*", false},   {"}", false},   {"]", false},
      {"I/O", true},  {"kot-pies", true}, {"a, b!", true}, {"#x", true},   {"\xb9", true},
  };
  for (const LiteralCase& c : cases) EXPECT_EQ(isPlainLiteral(c.from), c.plain) << c.from;
}

TEST(LiteralWordRule, only_full_stops_among_pattern_characters_keep_a_from_fixed) {
  const LiteralCase cases[] = {
      {"", false},   {"kot", true},    {"k.t", true},   {"m.in.", true},
      {"a+", false}, {"k\\.t", false}, {"[ab]", false}, {"a{2}", false},
  };
  for (const LiteralCase& c : cases) EXPECT_EQ(isFixedLengthFrom(c.from), c.plain) << c.from;
  EXPECT_FALSE(isFixedLengthFrom(std::string(kLongestWordCheck + 1, '.')));
}

TEST(LiteralWordRule, containment_folds_ascii_letters_only) {
  EXPECT_TRUE(containsLiteral("a KoT b", "kot", false));
  EXPECT_FALSE(containsLiteral("a KoT b", "kot", true));
  EXPECT_FALSE(containsLiteral("\xa5", "\xb9", false)) << "Polish letters never fold";
  EXPECT_FALSE(containsLiteral("", "kot", false));
  EXPECT_TRUE(containsLiteral("aaaab", "aaab", true)) << "a partial match must not hide one";
}

// Pattern Froms. Those that cannot tell where the separator before them
// began skip the starts inside separator runs; the others must not: those
// that change the patterns' structure (a bar outside a group, a ")" or "\\"
// that reaches the separator, a quantifier first) or look back at it
// (references, lookbehinds, \\K, \\G, verbs, callouts, options, recursion).
const std::vector<std::string> kPatternFroms = {
    // Skip run insides.
    "", "k.t", "(k)ot", "k[o\xf3]t", "(?:kot|pies)", "a+", "[ab]", "\\.", "^a", "b$", ".", "-?k",
    "k.", ".?a", "a*", "k{0,2}!", "-.", ",*", "a(?=!)", "(a|b)", "\\bk", "\\Bk", "k\\b", "(?>a+)b",
    "[.,]k", "[^a]", "[]k]", "\\d", "\\s?k", "(k|)ot", "(?=k)k", "(-k)", "[\\]k]",
    // Keep them.
    "a|b", "kot(", "a)|(b", "a\\", "?k", "+k", "{1}", "\\2k", "(k)\\1", "\\1k", "\\K.", "\\Gk",
    "(?<=\\.)k", "(?<!a)k", "(?m)^k", "(?m)k", "(?x)k", "(?i)k", "(?|(k)|(a))\\2", "\\g{-1}k",
    "\\g2k", "(?<n>k)\\k<n>", "(?P<n>k)(?P=n)", "\\12k", "(?C)k", "(*COMMIT)k", "(*SKIP)k|.",
    "(?1)k", "(?R)?k", "(?(1)k|a)", "k(?#)", "[k", "k\\Qa", "\\ck", "(?:a|b)|c"};

// What applyWordRule asked and answered, as the host would see it.
struct RuleRun {
  std::string text;
  int caseReads;
};

// The road a word rule's From calls for, or the three patterns in full.
enum class Road { kFast, kInFull };

RuleRun runRule(const std::string& text, const std::string& from, const std::string& to,
                const std::vector<bool>& answers, Road road) {
  RuleRun run{text, 0};
  const auto answer = [&] {
    return answers[static_cast<size_t>(run.caseReads++) % answers.size()];
  };
  if (road == Road::kFast) {
    applyWordRule(run.text, from, to, answer);
  } else {
    RegexReplacer replacer;
    runWordRule(run.text, from, to, PassCases::ask(answer), kPatternsInFull, replacer);
  }
  return run;
}

TEST(WordRuleEngine, fast_road_matches_the_patterns_in_texts_and_host_calls) {
  std::mt19937 random(8122026);
  std::bernoulli_distribution coin(0.5);
  std::uniform_int_distribution<size_t> pickTemplate(0, kTemplates.size() - 1);
  // Froms of every kind: literals, pattern text, the empty From, long
  // literals.
  const std::string longLiteral(5000, 'a');
  for (int round = 0; round < 4000; ++round) {
    // A message goes through several rules in order, as in the pipeline;
    // some hold runs of separators long enough that a start inside one
    // could be mistaken for the run's own.
    std::string fastText = randomText(random, kTextBytes, 30);
    if (coin(random))
      fastText +=
          std::string(std::uniform_int_distribution<size_t>(2, round % 20 == 0 ? 120 : 12)(random),
                      ".,!?-"[round % 5]) +
          randomText(random, kTextBytes, 6);
    std::string patternText = fastText;
    for (int rule = 0; rule < 5; ++rule) {
      std::string from;
      const int kind = std::uniform_int_distribution<int>(0, 9)(random);
      if (kind < 7) {
        from = randomText(random, kLiteralBytes, 4, 1);
      } else if (kind < 9) {
        from = kPatternFroms[std::uniform_int_distribution<size_t>(
            0, kPatternFroms.size() - 1)(random)];
      } else {
        from = longLiteral;
      }
      if (coin(random) && !from.empty() && from != longLiteral) {
        fastText += " " + from + " ";
        patternText += " " + from + " ";
      }
      const std::string& to = kTemplates[pickTemplate(random)];
      const std::vector<bool> answers = {coin(random), coin(random), coin(random)};
      const RuleRun fast = runRule(fastText, from, to, answers, Road::kFast);
      const RuleRun patterns = runRule(patternText, from, to, answers, Road::kInFull);
      ASSERT_EQ(fast.text, patterns.text) << "From «" << from << "» To «" << to << "»";
      ASSERT_EQ(fast.caseReads, 3) << "From «" << from << "»";
      ASSERT_EQ(patterns.caseReads, 3);
      fastText = fast.text;
      patternText = patterns.text;
    }
  }
}

// Fault: the patterns of a From of 5,000 letters were too large for PCRE
// once every item carries a callout, so the rule changed nothing.
TEST(WordRuleEngine, long_from_compiles_and_replaces_on_both_roads) {
  const std::string from(5000, 'a');
  const std::vector<bool> answers = {false};
  for (Road engine : {Road::kFast, Road::kInFull}) {
    EXPECT_EQ(runRule(from, from, "X", answers, engine).text, "X");
    EXPECT_EQ(runRule("x " + from + " y", from, "X", answers, engine).text, "x X y");
  }
}

// Runs of separators, odd and even, right before a word and after one:
// where a start inside a run could match differently from the run's own
// start if a From could tell them apart. One text for each run holds every
// word in each place.
TEST(WordRuleEngine, fast_road_over_separator_runs_matches_the_patterns) {
  const std::vector<std::string> words = {"k", "kot", "pies", "a", "ab", "k\xf3t", ".k", "kk"};
  std::vector<std::string> texts;
  for (size_t run : {1, 2, 3, 4, 7, 40}) {
    for (const char separator : {'.', '-'}) {
      const std::string dots(run, separator);
      std::string text;
      for (const std::string& word : words) {
        text += "x" + dots + word + " y " + dots + word + dots + " " + word + dots + word + "\n" +
                word + " ";
      }
      texts.push_back(text);
    }
  }
  const std::vector<bool> answers = {false};
  for (const std::string& from : kPatternFroms) {
    for (const std::string& text : texts) {
      const RuleRun fast = runRule(text, from, "<$1|$2|$3>", answers, Road::kFast);
      const RuleRun patterns = runRule(text, from, "<$1|$2|$3>", answers, Road::kInFull);
      ASSERT_EQ(fast.text, patterns.text) << "From «" << from << "» text «" << text << "»";
    }
  }
}

}  // namespace
