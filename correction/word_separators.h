// What separates words for the word rules: a run of . , ! ? -, or one
// space, carriage return or line feed. The pattern group and the byte tests
// below say the same thing, once for the pattern engine and once for the
// roads that run word rules without it.
#pragma once

#include <cstddef>
#include <string>

namespace qmx {

// The separator as pattern text, with the raw CR and LF bytes in it.
extern const char kWordSeparatorGroup[];

// A byte of the run alternative: any number of them make one separator.
constexpr bool isRunSeparator(char c) {
  return c == '.' || c == ',' || c == '!' || c == '?' || c == '-';
}

// A byte that is a separator on its own, one at a time.
constexpr bool isSingleSeparator(char c) {
  return c == ' ' || c == '\r' || c == '\n';
}

constexpr bool startsSeparator(char c) {
  return isRunSeparator(c) || isSingleSeparator(c);
}

// The first position at or after `from` where a separator can begin a
// match, the start of a run or a single separator: a separator that starts
// inside a run can end only where one from the run's start can. Returns
// std::string::npos when there is none.
size_t nextSeparatorStart(const std::string& text, size_t from);

}  // namespace qmx
