// Pieces of PCRE's pattern syntax, the rare with the common, for the
// generators that hunt faults with random patterns: the required-literal
// differential test and the substitution fuzzer. One list, so a construct
// added for one reaches both.
#pragma once

#include <string>
#include <vector>

namespace qmxtest {

// Single items: literals (a Polish letter among them), escapes, classes,
// anchors, back references, recursion, verbs, callouts and inline options.
inline const std::vector<std::string>& pcreAtoms() {
  static const std::vector<std::string> atoms = {
      "a",         "b",         "A",      "B",         "k",         " ",           "-",
      ",",         "\xb9",      "1",      "x",         "\\.",       "\\-",         "\\\\",
      "\\*",       "\\t",       "\\n",    ".",         "[ab]",      "[aA]",        "[Bb]",
      "[^a]",      "[a-c]",     "[.]",    "[]a]",      "[\\d]",     "[[:alpha:]]", "[\\b]",
      "[a-]",      "[.,!?-]",   "\\d",    "\\w",       "\\s",       "\\h",         "\\b",
      "\\B",       "\\A",       "\\z",    "\\Z",       "\\G",       "\\K",         "\\R",
      "\\N",       "\\x41",     "\\101",  "\\cA",      "\\Qa.b\\E", "\\Q",         "\\E",
      "\\X",       "\\C",       "^",      "$",         "\\1",       "\\2",         "\\g{1}",
      "\\g{-1}",   "\\k<n>",    "(?P=n)", "(?R)",      "(?1)",      "(?-1)",       "(?&n)",
      "(*ACCEPT)", "(*FAIL)",   "(*F)",   "(*COMMIT)", "(*SKIP)",   "(*SKIP:m)",   "(*PRUNE)",
      "(*THEN)",   "(*MARK:m)", "(?C)",   "(?C1)",     "(?i)",      "(?-i)",       "(?s)",
      "(?m)",      "(?x)",      "(?U)",   "(?#c)",     "{",         "a{,2}",       "}"};
  return atoms;
}

// What opens a group; each is closed by ")".
inline const std::vector<std::string>& pcreGroupOpenings() {
  static const std::vector<std::string> openings = {"(",    "(?:",   "(?>",   "(?=",   "(?!",
                                                    "(?<=", "(?<!",  "(?|",   "(?<n>", "(?P<n>",
                                                    "(?i:", "(?(1)", "(?(R)", "(?-i:"};
  return openings;
}

// Repeats: greedy, lazy and possessive.
inline const std::vector<std::string>& pcreQuantifiers() {
  static const std::vector<std::string> quantifiers = {
      "?", "*", "+", "{2}", "{1,}", "{0,2}", "{1,2}", "{0}", "??", "*+", "+?", "{2}+", "++", "?+"};
  return quantifiers;
}

// Every piece above in one list, the closing parenthesis and the bar too:
// what a byte of a fuzzer's input chooses.
inline const std::vector<std::string>& pcreSyntaxPieces() {
  static const std::vector<std::string> pieces = [] {
    std::vector<std::string> all = pcreAtoms();
    for (const auto* more : {&pcreGroupOpenings(), &pcreQuantifiers()}) {
      all.insert(all.end(), more->begin(), more->end());
    }
    all.push_back(")");
    all.push_back("|");
    return all;
  }();
  return pieces;
}

}  // namespace qmxtest
