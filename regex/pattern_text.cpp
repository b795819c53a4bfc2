#include "regex/pattern_text.h"

namespace qmx {

namespace {

struct OptionLetter {
  char letter;
  uint32_t option;
};

// Users type these letters in their rules; the bits are PCRE's, and the
// cache key byte depends on the low seven of them staying where they are.
constexpr OptionLetter kOptionLetters[] = {
    {'i', PCRE_CASELESS}, {'m', PCRE_MULTILINE},      {'s', PCRE_DOTALL},   {'x', PCRE_EXTENDED},
    {'A', PCRE_ANCHORED}, {'D', PCRE_DOLLAR_ENDONLY}, {'X', PCRE_EXTRA},    {'B', PCRE_NOTBOL},
    {'N', PCRE_NOTEOL},   {'U', PCRE_UNGREEDY},       {'E', PCRE_NOTEMPTY}, {'8', PCRE_UTF8},
};

static_assert(PCRE_CASELESS == 0x001 && PCRE_MULTILINE == 0x002 && PCRE_DOTALL == 0x004 &&
                  PCRE_EXTENDED == 0x008 && PCRE_ANCHORED == 0x010 &&
                  PCRE_DOLLAR_ENDONLY == 0x020 && PCRE_EXTRA == 0x040 && PCRE_NOTBOL == 0x080 &&
                  PCRE_NOTEOL == 0x100 && PCRE_UNGREEDY == 0x200 && PCRE_NOTEMPTY == 0x400 &&
                  PCRE_UTF8 == 0x800,
              "stored rules depend on these option bits");
static_assert(kExecOnlyOptions == 0x580 && kSearchOptions == 0x590, "compile and search masks");

// Only the bits below PCRE_NOTBOL go into the key byte, which therefore
// stays within 65..192.
constexpr uint32_t kKeyOptionBits = 127;
constexpr unsigned char kKeyBase = 65;

}  // namespace

PatternText parsePatternText(const std::string& text) {
  PatternText pattern;
  if (text.empty()) return pattern;
  const char delimiter = text[0];
  // The last occurrence closes, so a delimiter inside the expression needs
  // no escape; a delimiter that occurs once closes at itself.
  const size_t close = text.rfind(delimiter);
  for (size_t i = close + 1; i < text.size(); ++i) {
    for (const OptionLetter& entry : kOptionLetters) {
      if (text[i] == entry.letter) pattern.options |= entry.option;
    }
  }
  if (close > 0) pattern.expression = text.substr(1, close - 1);
  return pattern;
}

std::string cacheKeyText(const PatternText& pattern) {
  std::string key = pattern.expression;
  key += '/';
  key += static_cast<char>(kKeyBase + (pattern.options & kKeyOptionBits));
  return key;
}

}  // namespace qmx
