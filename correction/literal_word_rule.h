// Word rules whose From is a plain literal, without the pattern engine: the
// same results as the three word-rule patterns give, in time linear in the
// text. The patterns backtrack through every run of separators at every
// position, which grows with the square of a run's length.
#pragma once

#include <cstddef>
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

// The longest From occursAsWord takes: it tries the From at every
// position of the text, which stays linear in the text for short ones.
constexpr size_t kLongestWordCheck = 32;

// True when `from` as pattern text matches only strings of its own length:
// not empty, at most kLongestWordCheck bytes, and no pattern character but
// the full stop, which matches any byte but a line feed.
bool isFixedLengthFrom(const std::string& from);

// For a fixed-length From: true when it matches somewhere in `text` with a
// separator or the start of the text before it and a separator or the end
// after it. A match of any of the word rule's three passes needs that, so
// where it fails no pass can change the text. Without `caseSensitive` the
// letters A-Z and a-z match either case.
bool occursAsWord(const std::string& text, const std::string& from, bool caseSensitive);

// Runs the three word-rule passes of the plain literal `from` over `text`,
// pass k (0-based) with `caseSensitive[k]`, replacing it in place by the
// template `to` exactly as the patterns of the three passes would.
void applyLiteralWordRule(std::string& text, const std::string& from, const std::string& to,
                          const bool caseSensitive[3]);

}  // namespace qmx
