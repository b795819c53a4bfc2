// The literals requiredLiterals() names must be in every text the pattern
// can match: proven against PCRE itself on random expressions over the
// engine's whole syntax and random subjects.
#include "regex/required_literals.h"
#include "tests/support/pcre_syntax.h"

#include <gtest/gtest.h>
#include <pcre.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

using namespace qmx;

namespace {

const std::vector<std::string>& kAtoms = qmxtest::pcreAtoms();
const std::vector<std::string>& kGroupOpenings = qmxtest::pcreGroupOpenings();
const std::vector<std::string>& kQuantifiers = qmxtest::pcreQuantifiers();
const std::vector<uint32_t> kOptions = {
    PCRE_CASELESS,       PCRE_MULTILINE, PCRE_DOTALL,   PCRE_EXTENDED, PCRE_ANCHORED,
    PCRE_DOLLAR_ENDONLY, PCRE_EXTRA,     PCRE_UNGREEDY, PCRE_NOTEMPTY, PCRE_UTF8};
const char kSubjectBytes[] =
    "abABk .-,!\n\t\v\xb9\xa0"
    "1";

template <typename T>
const T& pick(std::mt19937& random, const std::vector<T>& from) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
}

bool chance(std::mt19937& random, double p) {
  return std::bernoulli_distribution(p)(random);
}

std::string randomExpression(std::mt19937& random, int depth) {
  std::string expression;
  const int branches = chance(random, 0.25) ? 2 + chance(random, 0.3) : 1;
  for (int branch = 0; branch < branches; ++branch) {
    if (branch > 0) expression += '|';
    const int pieces = std::uniform_int_distribution<int>(0, 4)(random);
    for (int piece = 0; piece < pieces; ++piece) {
      if (depth < 3 && chance(random, 0.15)) {
        expression += pick(random, kGroupOpenings) + randomExpression(random, depth + 1) + ")";
      } else {
        // Mostly plain letters, so that most expressions stay modelled.
        expression +=
            chance(random, 0.6) ? std::string(1, "abAB k"[random() % 6]) : pick(random, kAtoms);
      }
      if (chance(random, 0.3)) expression += pick(random, kQuantifiers);
    }
  }
  return expression;
}

std::string randomSubject(std::mt19937& random) {
  std::string subject(std::uniform_int_distribution<size_t>(0, 10)(random), ' ');
  for (char& c : subject) c = kSubjectBytes[random() % (sizeof kSubjectBytes - 1)];
  return subject;
}

char fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// An oracle of its own, independent of the automaton the plug-in scans with.
bool containsAny(const std::string& subject, const std::vector<RequiredLiteral>& literals) {
  for (const RequiredLiteral& literal : literals) {
    for (size_t at = 0; at + literal.bytes.size() <= subject.size(); ++at) {
      bool same = true;
      for (size_t i = 0; i < literal.bytes.size() && same; ++i) {
        const char a = subject[at + i];
        const char b = literal.bytes[i];
        same = literal.caseless ? fold(a) == fold(b) : a == b;
      }
      if (same) return true;
    }
  }
  return false;
}

// Where, if anywhere, a search finds a match: from every start offset, as
// the first search and as a later one (NOTBOL), and as the retry after an
// empty match.
int matchStart(const pcre* compiled, const pcre_extra* limits, const std::string& subject) {
  const int execOptions[] = {0, PCRE_NOTBOL, PCRE_NOTBOL | PCRE_NOTEMPTY_ATSTART | PCRE_ANCHORED};
  int offsets[30];
  for (int start = 0; start <= static_cast<int>(subject.size()); ++start) {
    for (int options : execOptions) {
      if (pcre_exec(compiled, limits, subject.data(), static_cast<int>(subject.size()), start,
                    options, offsets, 30) >= 0) {
        return offsets[0];
      }
    }
  }
  return -1;
}

TEST(RequiredLiterals, no_match_in_a_text_without_the_literals) {
  pcre_callout = nullptr;  // the (?C) callouts of random patterns do nothing
  pcre_extra limits{};
  limits.flags = PCRE_EXTRA_MATCH_LIMIT | PCRE_EXTRA_MATCH_LIMIT_RECURSION;
  limits.match_limit = 100000;
  limits.match_limit_recursion = 2000;

  std::mt19937 random(20261209);
  int compiled = 0;
  int filtered = 0;
  int checked = 0;
  for (int round = 0; round < 4000; ++round) {
    const std::string expression = randomExpression(random, 0);
    uint32_t options = 0;
    while (chance(random, 0.4)) options |= pick(random, kOptions);
    const char* error = nullptr;
    int errorOffset = 0;
    pcre* pattern = pcre_compile(expression.c_str(), static_cast<int>(options & ~PCRE_NOTEMPTY),
                                 &error, &errorOffset, nullptr);
    if (!pattern) continue;
    ++compiled;
    const auto literals = requiredLiterals(expression, options);
    if (literals) {
      ++filtered;
      ASSERT_FALSE(literals->empty()) << expression;
      for (int s = 0; s < 12; ++s) {
        const std::string subject = randomSubject(random);
        if (containsAny(subject, *literals)) continue;
        ++checked;
        const int at = matchStart(pattern, &limits, subject);
        ASSERT_LT(at, 0) << "«" << expression << "» options " << options << " matches «" << subject
                         << "» at " << at << " without the literal «" << literals->front().bytes
                         << "»";
      }
    }
    pcre_free(pattern);
  }
  // The run proves something only if it reached every branch often.
  EXPECT_GT(filtered, compiled / 5) << "too few expressions were given a filter";
  EXPECT_GT(checked, 2000) << "too few subjects lacked the literals";
}

struct ExtractionCase {
  const char* expression;
  uint32_t options;
  std::vector<std::string> literals;  // empty: no filter
};

// What the model is for: plain words, optional letters, simple classes and
// alternations yield literals; whatever can match empty, or is not
// modelled, yields none.
TEST(RequiredLiterals, finds_the_literals_of_common_expressions) {
  const ExtractionCase cases[] = {
      {"", 0, {}},
      {"a*", 0, {}},
      {"kot|", 0, {}},
      {"kot", 0, {"kot"}},
      {"KoT", PCRE_CASELESS, {"kot"}},
      {"colou?r", 0, {"color", "colour"}},
      {"\\bnp\\.", 0, {"np."}},
      {"dzi.ki", 0, {"dzi"}},
      {"[12] ?zl\\b", PCRE_CASELESS, {"1 zl", "1zl", "2 zl", "2zl"}},
      {"[Kk]ot|pies+", 0, {"Kot", "kot", "pies"}},
      {" +([,.!?])", 0, {" !", " ,", " .", " ?"}},
      {"([!?])\\1+", 0, {"!!", "!?", "?!", "??"}},
      {"(a)\\1", 0, {"aa"}},
      {"(([.,!?-]+| |\r|\n)m\\.in\\.([.,!?-]+| |\r|\n)|^m\\.in\\.$)", 0, {"m.in."}},
      {"kot(?=a)", 0, {}},
      {"(a|)\\1", 0, {}},
      {"(?i)kot", 0, {}},
      {"k o t", PCRE_EXTENDED, {}},
      {"x{,2}", 0, {}},
      // Past the caps, the first bytes of what every match begins with.
      {"a{300}", 0, {std::string(kMaxFactBytes, 'a')}},
      {"(?:a{65535}){65535}", 0, {std::string(kMaxFactBytes, 'a')}},
      {"x(?:a{65535}){10}b|(?:a{65535}){20}", 0, {std::string(kMaxFactBytes, 'a')}},
  };
  for (const ExtractionCase& c : cases) {
    const auto literals = requiredLiterals(c.expression, c.options);
    std::vector<std::string> found;
    if (literals) {
      for (const RequiredLiteral& literal : *literals) {
        EXPECT_EQ(literal.caseless, (c.options & PCRE_CASELESS) != 0) << c.expression;
        found.push_back(literal.bytes);
      }
    }
    EXPECT_EQ(found, c.literals) << "«" << c.expression << "»";
  }
}

// Counts the analysis cannot keep whole: a literal past the caps stays
// only as its first or last bytes, which must still be in every match.
// Patterns of letters and classes with large counts, against texts of long
// runs of the same letters, which they often match.
std::string hugeCountExpression(std::mt19937& random, int depth) {
  const char* const pieces[] = {"a", "b", "k", "[ab]", "[ak]", ".", "ab", "\\d"};
  const char* const counts[] = {"{300}", "{257}", "{2}", "{129}", "{128,}", "{100,300}", "+", ""};
  std::string expression;
  const int branches = chance(random, 0.2) ? 2 : 1;
  for (int branch = 0; branch < branches; ++branch) {
    if (branch > 0) expression += '|';
    const int count = std::uniform_int_distribution<int>(1, 3)(random);
    for (int piece = 0; piece < count; ++piece) {
      expression += depth < 2 && chance(random, 0.3)
                        ? "(?:" + hugeCountExpression(random, depth + 1) + ")"
                        : std::string(pieces[random() % 8]);
      expression += counts[random() % 8];
    }
  }
  return expression;
}

std::string runsOfLetters(std::mt19937& random) {
  std::string subject;
  const int runs = std::uniform_int_distribution<int>(1, 4)(random);
  for (int run = 0; run < runs; ++run) {
    subject +=
        std::string(std::uniform_int_distribution<size_t>(1, 700)(random), "abk1"[random() % 4]);
  }
  return subject;
}

TEST(RequiredLiterals, literals_past_the_caps_are_in_every_match) {
  pcre_callout = nullptr;
  pcre_extra limits{};
  limits.flags = PCRE_EXTRA_MATCH_LIMIT | PCRE_EXTRA_MATCH_LIMIT_RECURSION;
  limits.match_limit = 100000;
  limits.match_limit_recursion = 5000;
  std::mt19937 random(20261215);
  int clipped = 0;
  int matched = 0;
  for (int round = 0; round < 400; ++round) {
    const std::string expression = hugeCountExpression(random, 0);
    const uint32_t options = chance(random, 0.3) ? PCRE_CASELESS : 0;
    const char* error = nullptr;
    int errorOffset = 0;
    pcre* pattern =
        pcre_compile(expression.c_str(), static_cast<int>(options), &error, &errorOffset, nullptr);
    if (!pattern) continue;
    const auto literals = requiredLiterals(expression, options);
    if (literals) {
      for (const RequiredLiteral& literal : *literals) {
        clipped += literal.bytes.size() == kMaxFactBytes;
      }
      for (int s = 0; s < 6; ++s) {
        const std::string subject = runsOfLetters(random);
        // Anchored: a match at the start is as good a witness as any, and
        // the search does not try each of thousands of starts in turn.
        int offsets[30];
        if (pcre_exec(pattern, &limits, subject.data(), static_cast<int>(subject.size()), 0,
                      PCRE_ANCHORED, offsets, 30) < 0) {
          continue;
        }
        ++matched;
        const std::string match = subject.substr(static_cast<size_t>(offsets[0]),
                                                 static_cast<size_t>(offsets[1] - offsets[0]));
        ASSERT_TRUE(containsAny(match, *literals))
            << "«" << expression << "» matches " << match.size() << " bytes without «"
            << literals->front().bytes << "»";
      }
    }
    pcre_free(pattern);
  }
  EXPECT_GT(clipped, 80) << "too few literals reached the cap";
  EXPECT_GT(matched, 150) << "too few subjects matched";
}

// Whatever the pattern, the analysis keeps within its stated bounds: few
// literals, none long, found in a bounded time. Expressions of the whole
// syntax, with the largest counts PCRE takes, nested.
TEST(RequiredLiterals, the_analysis_keeps_within_its_bounds_on_huge_counts) {
  const std::vector<std::string> hugeCounts = {"{65535}", "{65535,}", "{1000,65535}",
                                               "{300}",   "{65535}+", "{2}"};
  std::mt19937 random(20261216);
  double slowest = 0;
  int filtered = 0;
  for (int round = 0; round < 600; ++round) {
    std::string expression;
    const int pieces = std::uniform_int_distribution<int>(1, 6)(random);
    for (int piece = 0; piece < pieces; ++piece) {
      std::string item =
          chance(random, 0.7) ? std::string(1, "abk"[random() % 3]) : pick(random, kAtoms);
      for (int level = 0; level < 3 && chance(random, 0.6); ++level) {
        item = (chance(random, 0.7) ? std::string("(?:") : pick(random, kGroupOpenings)) + item +
               pick(random, hugeCounts) + (chance(random, 0.2) ? "|" + pick(random, kAtoms) : "") +
               ")";
      }
      expression +=
          item + (chance(random, 0.7) ? pick(random, hugeCounts) : pick(random, kQuantifiers));
    }
    const uint32_t options = chance(random, 0.3) ? PCRE_CASELESS : 0;
    const auto start = std::chrono::steady_clock::now();
    const auto literals = requiredLiterals(expression, options);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    slowest = std::max(slowest, took.count());
    if (!literals) continue;
    ++filtered;
    EXPECT_LE(literals->size(), kMaxSetStrings) << expression;
    for (const RequiredLiteral& literal : *literals) {
      EXPECT_FALSE(literal.bytes.empty()) << expression;
      EXPECT_LE(literal.bytes.size(), kMaxFactBytes) << expression;
    }
  }
  // A hang guard only: unbounded, one such pattern took seconds and
  // gigabytes.
  EXPECT_LT(slowest, 2.0);
  EXPECT_GT(filtered, 100);
}

}  // namespace
