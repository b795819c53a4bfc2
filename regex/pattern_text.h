// The pattern text of a Perl rule as users type it: a delimiter, the
// expression, the same delimiter again, then option letters.
#pragma once

#include <pcre.h>

#include <cstdint>
#include <string>

namespace qmx {

// Option bits that only a search takes; compiling passes every other bit.
constexpr uint32_t kExecOnlyOptions = PCRE_NOTBOL | PCRE_NOTEOL | PCRE_NOTEMPTY;
// The bits of a pattern's options that a search passes to pcre_exec.
constexpr uint32_t kSearchOptions = PCRE_ANCHORED | PCRE_NOTBOL | PCRE_NOTEOL | PCRE_NOTEMPTY;

struct PatternText {
  std::string expression;
  uint32_t options = 0;  // PCRE option bits, compile and search bits alike

  uint32_t compileOptions() const { return options & ~kExecOnlyOptions; }
};

// Splits `text` into the bare expression and the option bits. The
// expression ends at the last occurrence of the delimiter (its first byte),
// so the delimiter may stand unescaped inside it. Letters (case-sensitive;
// anything else, "g" included, is ignored):
//   i PCRE_CASELESS   m PCRE_MULTILINE       s PCRE_DOTALL     x PCRE_EXTENDED
//   A PCRE_ANCHORED   D PCRE_DOLLAR_ENDONLY  X PCRE_EXTRA      B PCRE_NOTBOL
//   N PCRE_NOTEOL     U PCRE_UNGREEDY        E PCRE_NOTEMPTY   8 PCRE_UTF8
// An empty text, a lone delimiter or a first byte that occurs nowhere else
// gives the empty expression; in the last case the bytes after the
// delimiter still count as letters.
PatternText parsePatternText(const std::string& text);

// The cache key text of a pattern: the expression, "/", then one byte
// 65 + (options & 127). Option bits above 127 are not in it.
std::string cacheKeyText(const PatternText& pattern);

}  // namespace qmx
