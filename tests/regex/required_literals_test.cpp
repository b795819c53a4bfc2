// The literals requiredLiterals() names must be in every text the pattern
// can match: proven against PCRE itself on random expressions over the
// engine's whole syntax and random subjects.
#include "regex/required_literals.h"
#include "tests/support/pcre_syntax.h"

#include <gtest/gtest.h>
#include <pcre.h>

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

}  // namespace
