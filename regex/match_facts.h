// What is known of the strings a piece of a pattern matches, and how the
// knowledge of pieces combines when they follow each other, stand as
// alternatives or repeat. Every fact errs on the side of knowing less: a
// set may only grow, never leave out a string that can match.
//
// What the facts hold stays small whatever the pattern: where strings are
// joined (a piece followed by another, a repeat), a string longer than
// kMaxFactBytes is cut to the bytes at the end that matters (the first ones
// of a prefix, the last ones of a suffix; a piece of a required string is
// still required), and an exact set that would hold such a string, or more
// than kMaxExactStrings, is given up for its ends. Other sets hold at most
// kMaxSetStrings strings, or are dropped.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qmx {

using Strings = std::vector<std::string>;

constexpr size_t kMaxFactBytes = 256;
constexpr size_t kMaxExactStrings = 16;
constexpr size_t kMaxSetStrings = 64;

struct MatchFacts {
  // The piece can match the empty string.
  bool emptyable = false;
  // Every match is one of these ("" included when it can be empty).
  std::optional<Strings> exact;
  // Every match begins, and ends, with one of these (when `exact` is known
  // these are unset and it stands for both). A set holding "" says nothing.
  std::optional<Strings> prefix;
  std::optional<Strings> suffix;
  // Every match contains one of these; none is empty.
  std::optional<Strings> required;
  // An assertion: it matches no text.
  bool zeroWidth = false;
};

// A piece that matches exactly these strings.
MatchFacts matchesExactly(Strings strings);
// An assertion (^, $, \b ...).
MatchFacts matchesAssertion();
// A piece that matches something not known: a byte of any value, or more.
MatchFacts matchesUnknown();

// `first` followed by `second`.
MatchFacts followedBy(MatchFacts first, const MatchFacts& second);
// Either of the two.
MatchFacts eitherOf(const MatchFacts& a, const MatchFacts& b);
// `atom` repeated `min` to `max` times (a `max` beyond any count the
// pattern can write stands for no bound). An assertion cannot be repeated
// here: the caller gives up on it.
MatchFacts repeated(const MatchFacts& atom, unsigned min, unsigned max);

// The most selective set of non-empty strings every match contains: fewer
// short strings lose to longer ones. Unset when nothing is known.
std::optional<Strings> requiredStrings(const MatchFacts& facts);

}  // namespace qmx
