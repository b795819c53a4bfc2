// Word rules whose From is a plain literal, without the pattern engine: the
// same results as the three word-rule patterns give, in time linear in the
// text. The patterns backtrack through every run of separators at every
// position, which grows with the square of a run's length.
#pragma once

#include <cstddef>
#include <string>

#include "correction/pass_cases.h"

namespace qmx {

// True when `from` occurs in `text`; without `caseSensitive` the letters
// A-Z and a-z match either case, as the pattern engine folds them (no other
// byte has another case).
bool containsLiteral(const std::string& text, const std::string& from, bool caseSensitive);

// For a fixed-length From: true when it matches somewhere in `text` with a
// separator or the start of the text before it and a separator or the end
// after it. A match of any of the word rule's three passes needs that, so
// where it fails no pass can change the text. Without `caseSensitive` the
// letters A-Z and a-z match either case.
bool occursAsWord(const std::string& text, const std::string& from, bool caseSensitive);

// Runs the three word-rule passes of the plain literal `from` over `text`,
// pass k with `cases.sensitive(k)`, replacing it in place by the template
// `to` exactly as the patterns of the three passes would.
void applyLiteralWordRule(std::string& text, const std::string& from, const std::string& to,
                          const PassCases& cases);

}  // namespace qmx
