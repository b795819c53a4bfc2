// How a word rule runs, decided once from its From: what its From is as
// pattern text decides which road gives the three patterns' results fastest.
#pragma once

#include <cstddef>
#include <string>

namespace qmx {

// The characters that can mean something in a pattern; a From without
// them matches exactly itself as pattern text.
constexpr char kPatternCharacters[] = "\\^$.[]|()?*+{}";

// True when `c` is one of kPatternCharacters.
bool isPatternCharacter(char c);

// True when `from` is not empty and holds no pattern character.
bool isPlainLiteral(const std::string& from);

// The longest From whose place as a word is looked for before its patterns
// run: the look tries the From at every position of the text, which stays
// linear in the text for short ones.
constexpr size_t kLongestWordCheck = 32;

// True when `from` as pattern text matches only strings of its own length:
// not empty, at most kLongestWordCheck bytes, and no pattern character but
// the full stop, which matches any byte but a line feed.
bool isFixedLengthFrom(const std::string& from);

// True when `from`, put into the word-rule patterns, leaves their structure
// alone and cannot tell where the separator before it began: its groups and
// classes close within it, a bar stands only inside a group, and it holds
// nothing that looks back at what the pattern matched before it or at where
// a match began (references, lookbehinds, \K, \G, verbs, callouts,
// conditions, recursion), nor an option setting, which would reach the
// separator after it and the patterns' other branch; nor does it begin with
// a quantifier, which would repeat the separator before it. Every match of
// the patterns then holds a match of `from` alone, and one that begins
// inside a run of separators has a match beginning at the run's start.
// Errs on the side of false.
bool leavesWordPatternAlone(const std::string& from);

struct WordRoad {
  // A plain literal: run without the pattern engine (literal_word_rule.h),
  // in time linear in the text. Otherwise the three patterns run.
  bool literal = false;
  // A fixed-length From: the patterns run only where From stands as a word
  // (occursAsWord), which no pass can change a text without.
  bool checkedAsWord = false;
  // A From that leaves the patterns alone: passes 0 and 2 try only the
  // text's start, run starts and single separators (nextSeparatorStart), where
  // PCRE would scan the rest of a run of separators again at every start
  // inside it.
  bool separatorStarts = false;
};

// The road of a word rule with From `from`.
WordRoad wordRoadOf(const std::string& from);

// The road that runs the three patterns in full, trying every start: what
// every other road gives the same texts as.
constexpr WordRoad kPatternsInFull{};

}  // namespace qmx
