#include "regex/regex_replacer.h"

#include "regex/template_expansion.h"

namespace qmx {

void RegexReplacer::setPattern(const std::string& text) {
  pattern_ = parsePatternText(text);
  compiled_ = nullptr;
}

bool RegexReplacer::prepare() {
  if (!compiled_) compiled_ = &patterns_->get(pattern_);
  lastErrorText_ = compiled_->errorText();
  lastErrorOffset_ = compiled_->errorOffset();
  return compiled_->compiled();
}

int RegexReplacer::groupCount() const {
  return compiled_ ? compiled_->groupCount() : 0;
}

bool RegexReplacer::mayMatchEmpty() const {
  if (pattern_.options & PCRE_NOTEMPTY) return false;
  return !compiled_ || compiled_->canMatchEmpty();
}

void RegexReplacer::setSubject(const std::string& text) {
  subject_ = text;
  search_.restart();
  stepsTaken_ = 0;
}

int RegexReplacer::search() {
  if (!prepare()) return 0;
  const int found =
      search_.run(*compiled_, static_cast<int>(pattern_.options & kSearchOptions), nullptr);
  stepsTaken_ = search_.steps().taken();
  return found;
}

std::string RegexReplacer::substitute(const std::string& patternText,
                                      const std::string& replacementTemplate,
                                      const std::string& subjectText, int32_t limit) {
  setPattern(patternText);
  return substituteWith(replacementTemplate, subjectText, limit, nullptr);
}

std::string RegexReplacer::substitute(const std::string& patternText,
                                      const std::string& replacementTemplate,
                                      const std::string& subjectText, int32_t limit,
                                      const StartCandidates& candidates) {
  setPattern(patternText);
  return substituteWith(replacementTemplate, subjectText, limit, &candidates);
}

std::string RegexReplacer::substituteWith(const std::string& replacementTemplate,
                                          const std::string& subjectText, int32_t limit,
                                          const StartCandidates* candidates) {
  stepsTaken_ = 0;
  if (!prepare()) return subjectText;
  const CompiledPattern& pattern = *compiled_;
  Search search(subjectText);
  const uint32_t options = pattern_.options;
  const int searchOptions = static_cast<int>(options & kSearchOptions);
  // "^" must not match the start of the subject again once something was
  // replaced.
  int notAtStart = 0;

  std::string result;
  int32_t count = 0;
  bool lastMatchEmpty = false;
  const int32_t subjectSize = static_cast<int32_t>(subjectText.size());
  while (limit == 0 || count < limit) {
    int found;
    if (lastMatchEmpty) {
      // Searching again from the end of an empty match would find the same
      // match forever. As Perl does, try for a non-empty match right there;
      // failing that, step over one byte and search on from the next one.
      found = search.run(
          pattern, searchOptions | notAtStart | PCRE_NOTEMPTY_ATSTART | PCRE_ANCHORED, candidates);
      if (found == PCRE_ERROR_NOMATCH) {
        // An anchored pattern matches only where the previous match ended:
        // stepping over a byte would leave a gap between its matches.
        if (search.start() >= subjectSize || (options & PCRE_ANCHORED)) break;
        result += subjectText[static_cast<size_t>(search.start())];
        search.setStart(search.start() + 1);
        lastMatchEmpty = false;
        continue;
      }
    } else {
      found = search.run(pattern, searchOptions | notAtStart, candidates);
    }
    // No match, a PCRE error, the step budget spent, groups that overflow
    // the offset vector, or a match outside what was searched (replacing it
    // would copy a negative length and search the same place for ever): the
    // rest of the subject is copied below as it stands.
    if (found <= 0 || search.matchOutsideSearch()) break;
    // So does a replacement that would make the result too long.
    const std::vector<std::string>& groups = search.captures();
    const size_t expansion =
        expansionSize(replacementTemplate, groups.size(),
                      [&groups](size_t group) { return groups[group].size(); });
    if (!replacementFits(result.size(), static_cast<size_t>(search.start()),
                         static_cast<size_t>(search.matchStart()),
                         static_cast<size_t>(search.matchEnd()), expansion, subjectText.size())) {
      break;
    }

    result.append(subjectText, static_cast<size_t>(search.start()),
                  static_cast<size_t>(search.matchStart() - search.start()));
    appendExpansion(result, replacementTemplate, groups.size(),
                    [&groups](std::string& to, size_t group) { to += groups[group]; });
    lastMatchEmpty = search.matchStart() == search.matchEnd();
    search.setStart(search.matchEnd());
    notAtStart = PCRE_NOTBOL;
    ++count;
  }
  result.append(subjectText, static_cast<size_t>(search.start()), std::string::npos);
  stepsTaken_ = search.steps().taken();
  return result;
}

}  // namespace qmx
