// Literals that every match of a pattern must contain, so that a text
// holding none of them can be passed over without running the pattern.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "regex/match_facts.h"

namespace qmx {

// Groups nested deeper than this are not modelled.
constexpr int kMaxModelledNesting = 32;

struct RequiredLiteral {
  std::string bytes;
  // The letters A-Z and a-z match either case (the pattern was caseless);
  // such a literal's letters are given in lower case.
  bool caseless = false;
};

// For the bare expression `expression` (the pattern text between its
// delimiters) compiled with the PCRE option bits `options`: a non-empty set
// of non-empty literals such that every match, from any start offset and
// with any exec options, contains at least one of them. Literals, simple
// classes, \d and \s, ".", groups, alternatives, repeats, assertions that
// match no text and backreferences to groups whose strings are known are
// modelled. std::nullopt when no such set is proven: the expression can
// match the empty string, or uses a construct this model does not cover
// (lookarounds, \K, \G, \Q..\E, option settings such as (?i), named groups,
// conditionals, recursion, verbs, callouts, comments, numeric escapes,
// POSIX classes, a "{" that is not a repeat, the extended or UTF-8
// options, groups nested more than kMaxModelledNesting deep, ...). The
// expression ends at its first NUL byte, as the engine reads it. An
// expression the engine would refuse may get any answer.
//
// Bounded whatever the expression, so that the analysis never costs more
// than the rule: at most kMaxSetStrings literals of at most kMaxFactBytes
// bytes each (a long literal is given as a piece of it, see match_facts.h);
// each item of the expression joins sets of at most kMaxSetStrings strings
// of at most kMaxFactBytes bytes, so the time grows linearly with the
// expression's length, and the facts held at once are those of at most
// kMaxModelledNesting nested groups and nine backreferenced ones. Never
// throws: when memory runs out it gives std::nullopt.
std::optional<std::vector<RequiredLiteral>> requiredLiterals(const std::string& expression,
                                                             uint32_t options);

}  // namespace qmx
