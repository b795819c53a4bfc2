// The letters a pattern matches and what stands beside them, read from its
// text well enough to judge a rule: where case is ignored, and which word
// assertions meet a letter the pattern engine does not count as one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qmx {

struct PatternItem {
  enum Kind {
    kLetter,      // a letter matched as itself (A-Z, a-z or a Windows-1250 one)
    kWordEscape,  // \b \B \w \W
    kQuantifier,  // * + ? {n,m}, with its lazy or possessive mark
    kOther,       // anything else: a class as a whole, a group's bracket, ...
  };
  Kind kind;
  char byte;      // the letter, or the escape's letter
  size_t at;      // where it stands in the expression
  bool caseless;  // a letter matched without regard to case
  bool inClass;   // a letter listed in a class (the class is also one Other)
};

// The items of the bare expression `expression` (between its delimiters),
// compiled caseless or extended as the options say: inline option settings
// such as (?i), (?-i:...) and (?x) are followed to the end of their group,
// \Q...\E is literal text; comments, group names and the arguments of
// escapes are passed over. Only what judging a rule needs is told apart:
// every other construct is an Other item. Never fails; a pattern the engine
// would refuse gets some reading.
std::vector<PatternItem> patternItems(const std::string& expression, bool caseless, bool extended);

// A letter outside A-Z and a-z: a Windows-1250 byte with another case, or ß.
bool isNationalLetter(char c);

}  // namespace qmx
