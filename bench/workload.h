// Rule bases and messages for the benchmarks: Polish-looking words and
// sentences in Windows-1250, made by a fixed generator so that every run,
// on every machine, measures the same texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qmxbench {

struct Rule {
  std::string from;
  std::string to;
  int type;  // 0 word rule, 1 Perl rule
};

// A rule base of `count` rules, nine word rules to one Perl rule (every
// tenth). Word rules replace a word written without its diacritics («zolw»)
// by the proper one («żółw»); every From is a distinct plain literal of
// lower-case ASCII letters. Perl rules are the kind users write: spacing
// before punctuation, repeated marks, amounts, inflected forms of a word.
std::vector<Rule> makeRuleBase(size_t count);

// The rule base as the host stores it: three columns, "\r\n" after every
// entry.
struct RuleColumns {
  std::string from;
  std::string to;
  std::string type;
};
RuleColumns storedColumns(const std::vector<Rule>& rules);

enum class Mix {
  // Ordinary sentences holding a few of the rule base's words (one in a
  // short message): most rules have nothing to find.
  kTypical,
  // Every word rule's From occurs in the message: no rule can be passed
  // over without looking.
  kAllPresent,
};

// A message of exactly `bytes` bytes (no NUL inside) for `rules`.
// AllPresent needs room for every From and a space after each; a smaller
// size gives the empty text.
std::string makeMessage(size_t bytes, const std::vector<Rule>& rules, Mix mix);

// How many word rules have their From somewhere in `text`, letter case of
// A-Z aside: the rules a literal pre-filter cannot pass over.
size_t literalsPresent(const std::string& text, const std::vector<Rule>& rules);

class Random;

// A Polish word with at least one letter of the code page's own, of two to
// four syllables.
std::string markedWord(Random& random);

// `word` with every Polish letter written without its diacritic («żółw»:
// «zolw»).
std::string stripDiacritics(std::string word);

// Ordinary chat text of exactly `bytes` bytes: sentences of common words.
std::string fillerText(size_t bytes, Random& random);

// A small deterministic generator (xorshift64*), the same everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed ? seed : 1) {}
  uint64_t next();
  // A number in [0, bound).
  size_t below(size_t bound) { return static_cast<size_t>(next() % bound); }

 private:
  uint64_t state_;
};

}  // namespace qmxbench
