// Word rules whose From is a plain literal, without the pattern engine: the
// same results as the three word-rule patterns give, in time linear in the
// text. The patterns backtrack through every run of separators at every
// position, which grows with the square of a run's length.
#pragma once

#include <string>

namespace qmx {

// The characters that can mean something in a pattern; a From without
// them matches exactly itself as pattern text.
constexpr char kPatternCharacters[] = "\\^$.[]|()?*+{}";

// True when `from` is not empty and holds none of kPatternCharacters.
bool isPlainLiteral(const std::string& from);

// True when `from` occurs in `text`; without `caseSensitive` the letters
// A-Z and a-z match either case, as the pattern engine folds them (no other
// byte has another case).
bool containsLiteral(const std::string& text, const std::string& from, bool caseSensitive);

// Runs the three word-rule passes of the plain literal `from` over `text`,
// pass k (0-based) with `caseSensitive[k]`, replacing it in place by the
// template `to` exactly as the patterns of the three passes would.
void applyLiteralWordRule(std::string& text, const std::string& from, const std::string& to,
                          const bool caseSensitive[3]);

}  // namespace qmx
