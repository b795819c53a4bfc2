#include "regex/regex_replacer.h"

#include "regex/template_expansion.h"

#include <cstddef>

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
static_assert(RegexReplacer::kExecOnlyOptions == 0x580 && RegexReplacer::kSearchOptions == 0x590,
              "compile and search masks");

// Only the bits below PCRE_NOTBOL go into the key byte, which therefore
// stays within 65..192.
constexpr uint32_t kKeyOptionBits = 127;
constexpr unsigned char kKeyBase = 65;

// PCRE's own match limit counts the work from one start position only, so
// a pattern that backtracks just below it at every position of a long
// message would hold the messenger's thread for minutes. Every compiled
// pattern reports each step through the callout, and one search may take
// this many steps, a number that grows with the subject so that ordinary
// patterns over long texts never reach it.
constexpr unsigned long kSearchStepBase = 10000000UL;
constexpr unsigned long kSearchStepsPerByte = 100UL;

unsigned long g_searchSteps = 0;
unsigned long g_searchStepBudget = 0;

int countSearchStep(pcre_callout_block*) {
  return ++g_searchSteps > g_searchStepBudget ? PCRE_ERROR_CALLOUT : 0;
}

}  // namespace

RegexReplacer::~RegexReplacer() {
  for (auto& entry : cache_) pcre_free(entry.second);
}

void RegexReplacer::setPattern(const std::string& text) {
  expression_ = text;
  parsePattern();
}

void RegexReplacer::parsePattern() {
  options_ = 0;
  if (expression_.empty()) return;

  const char delimiter = expression_[0];
  // The last occurrence closes, so a delimiter inside the expression needs
  // no escape; a delimiter that occurs once closes at itself.
  const size_t close = expression_.rfind(delimiter);
  for (size_t i = close + 1; i < expression_.size(); ++i) {
    for (const OptionLetter& entry : kOptionLetters) {
      if (expression_[i] == entry.letter) options_ |= entry.option;
    }
  }
  expression_ = close == 0 ? std::string() : expression_.substr(1, close - 1);
}

std::string RegexReplacer::cacheKey() const {
  std::string key = expression_;
  key += '/';
  key += static_cast<char>(kKeyBase + (options_ & kKeyOptionBits));
  return key;
}

RegexReplacer::PatternKey RegexReplacer::patternKey() const {
  return PatternKey(cacheKey(), options_ & ~kExecOnlyOptions);
}

bool RegexReplacer::prepare() {
  PatternKey key = patternKey();
  // Within one substitution the key never changes (the NOTBOL added after
  // the first replacement is exec-only), so later searches skip the lookup.
  if (compiled_ && currentKey_ != key) compiled_ = nullptr;
  currentKey_ = std::move(key);
  if (!compiled_) {
    auto found = cache_.find(currentKey_);
    if (found != cache_.end()) compiled_ = found->second;
  }

  lastErrorText_ = nullptr;
  lastErrorOffset_ = 0;
  if (compiled_) return true;

  // Built-in character tables only: a locale's tables would make "i", \w
  // and \b treat the code page's national letters differently per machine.
  int errorOffset = 0;
  compiled_ =
      pcre_compile(expression_.c_str(), static_cast<int>(currentKey_.second) | PCRE_AUTO_CALLOUT,
                   &lastErrorText_, &errorOffset, nullptr);
  lastErrorOffset_ = errorOffset;
  if (!compiled_ || lastErrorText_) {
    // Not remembered: the same pattern is compiled, and refused, again.
    if (compiled_) pcre_free(compiled_);
    compiled_ = nullptr;
    return false;
  }
  cache_.emplace(currentKey_, compiled_);
  return true;
}

void RegexReplacer::setSubject(const std::string& text) {
  subject_ = text;
  startOffset_ = 0;
}

int RegexReplacer::search() {
  return searchWith(0);
}

int RegexReplacer::searchWith(int extraExecOptions) {
  if (!prepare()) return 0;
  // No study data, and the subject's own length: a NUL byte inside it is
  // text like any other.
  // A search that runs out of steps ends like one that found nothing more:
  // the text stays as it is from there on.
  g_searchSteps = 0;
  g_searchStepBudget = kSearchStepBase + kSearchStepsPerByte * subject_.size();
  pcre_callout = &countSearchStep;
  matchCount_ = pcre_exec(
      compiled_, nullptr, subject_.data(), static_cast<int>(subject_.size()), startOffset_,
      static_cast<int>(options_ & kSearchOptions) | extraExecOptions, offsets_, kOffsetCount);
  collectCaptures();
  return matchCount_;
}

void RegexReplacer::collectCaptures() {
  captures_.clear();
  if (matchCount_ <= 0) return;
  captures_.resize(static_cast<size_t>(matchCount_));
  for (int i = 0; i < matchCount_; ++i) {
    const int start = offsets_[2 * i];
    const int end = offsets_[2 * i + 1];
    // A group that took no part has start -1 and stays empty.
    if (start >= 0) captures_[static_cast<size_t>(i)].assign(subject_, start, end - start);
  }
}

std::string RegexReplacer::expandTemplate(const std::string& replacementTemplate) const {
  std::string out;
  appendExpansion(out, replacementTemplate, captures_.size(),
                  [this](std::string& to, size_t group) { to += captures_[group]; });
  return out;
}

std::string RegexReplacer::substitute(const std::string& patternText,
                                      const std::string& replacementTemplate,
                                      const std::string& subjectText, int32_t limit) {
  startOffset_ = 0;
  setPattern(patternText);
  setSubject(subjectText);

  std::string result;
  int32_t count = 0;
  bool lastMatchEmpty = false;
  const int32_t subjectSize = static_cast<int32_t>(subject_.size());
  while (limit == 0 || count < limit) {
    int found;
    if (lastMatchEmpty) {
      // Searching again from the end of an empty match would find the same
      // match forever. As Perl does, try for a non-empty match right there;
      // failing that, step over one byte and search on from the next one.
      found = searchWith(PCRE_NOTEMPTY_ATSTART | PCRE_ANCHORED);
      if (found == PCRE_ERROR_NOMATCH) {
        // An anchored pattern matches only where the previous match ended:
        // stepping over a byte would leave a gap between its matches.
        if (startOffset_ >= subjectSize || (options_ & PCRE_ANCHORED)) break;
        result += subject_[static_cast<size_t>(startOffset_)];
        ++startOffset_;
        lastMatchEmpty = false;
        continue;
      }
    } else {
      found = search();
    }
    // No match, a PCRE error, or groups that overflow the offset vector: the
    // rest of the subject is copied below as it stands.
    if (found <= 0) break;

    result.append(subject_, static_cast<size_t>(startOffset_),
                  static_cast<size_t>(offsets_[0] - startOffset_));
    result += expandTemplate(replacementTemplate);
    lastMatchEmpty = offsets_[0] == offsets_[1];
    startOffset_ = offsets_[1];
    // "^" must not match the start of the subject again once something was
    // replaced; the next setPattern clears the bit.
    options_ |= PCRE_NOTBOL;
    ++count;
  }
  result.append(subject_, static_cast<size_t>(startOffset_), std::string::npos);
  return result;
}
