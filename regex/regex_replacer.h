// Perl-style substitution over PCRE: a delimited pattern with option letters,
// a replacement template with "$0".."$9" and "$&", applied to 8-bit text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "regex/compiled_patterns.h"
#include "regex/pattern_text.h"
#include "regex/search.h"
#include "regex/step_budget.h"

namespace qmx {

// One substitution engine over compiled patterns that outlive it: its own
// (released with it), or a CompiledPatterns its caller shares among
// replacers, so that a rule's patterns are compiled once however many
// messages it corrects. Each substitution keeps its state on its own
// stack. Not thread-safe: one thread uses an object, and the engine (whose
// hooks are global, see step_budget.cpp), at a time.
//
// Pattern text: see parsePatternText (pattern_text.h) for the delimiter and
// the option letters. The engine is built without UTF-8 support, so the
// letter "8" never compiles.
//
// Template: "$" and one digit "0".."9" inserts that group, "$&" the whole
// match; a group that took no part or does not exist inserts nothing. There
// is no escape character; every other byte is copied as it stands.
class RegexReplacer {
 public:
  static constexpr uint32_t kExecOnlyOptions = qmx::kExecOnlyOptions;
  static constexpr uint32_t kSearchOptions = qmx::kSearchOptions;
  static constexpr int kOffsetCount = Search::kOffsetCount;
  static constexpr int kReportedGroups = Search::kReportedGroups;
  using StartCandidates = qmx::StartCandidates;

  RegexReplacer() = default;
  // Takes its compiled patterns from `shared`, and keeps there those it
  // compiles (refusals too), instead of holding patterns of its own.
  // `shared` must outlive the object.
  explicit RegexReplacer(CompiledPatterns* shared) : patterns_(shared ? shared : &ownPatterns_) {}
  RegexReplacer(const RegexReplacer&) = delete;
  RegexReplacer& operator=(const RegexReplacer&) = delete;

  // Replaces the matches of `patternText` in `subjectText`, from the left and
  // without overlap, by the expansion of `replacementTemplate`, and returns
  // the new text. `limit` 0 replaces every match, n > 0 at most n, a
  // negative limit none. A pattern that does not compile, or finds nothing,
  // returns the subject unchanged; the reason stays in lastErrorText().
  // An empty match is followed, as in Perl's s///g, by a non-empty match at
  // the same place if there is one, otherwise by one copied byte; every
  // replacement, empty or not, counts towards the limit. A PCRE error during
  // matching ends the substitution: replacements made stay, the rest of the
  // subject is copied. The subject may hold any byte; the pattern ends at
  // its first NUL byte.
  //
  // Every substitution finishes in bounded time: all its searches together
  // may take stepBudget(subject size) steps (see step_budget.h), and when
  // they run out the rest of the subject is copied as it stands. A
  // replacement that would make the result longer than the subject or 16 MB,
  // whichever is more (replacementFits, template_expansion.h), and a match
  // that PCRE reports starting before the search's start or after its own
  // end (\K inside a lookaround), end the substitution the same way.
  std::string substitute(const std::string& patternText, const std::string& replacementTemplate,
                         const std::string& subjectText, int32_t limit);

  // `substitute`, trying matches only at the search's start and at the
  // positions `candidates` names, each as an anchored match. Same results
  // when the caller's promise holds (see StartCandidates); no hopeless
  // starts inside long texts.
  std::string substitute(const std::string& patternText, const std::string& replacementTemplate,
                         const std::string& subjectText, int32_t limit,
                         const StartCandidates& candidates);

  static unsigned long stepBudget(size_t subjectSize) { return qmx::stepBudget(subjectSize); }
  static constexpr unsigned long kScannedBytesPerStep = qmx::kScannedBytesPerStep;
  static unsigned long largestStep(size_t subjectSize) { return qmx::largestStep(subjectSize); }
  // Steps the last substitution took, or the searches since the last
  // setSubject.
  unsigned long stepsTaken() const { return stepsTaken_; }

  // Makes `text` the pattern: its expression and option letters
  // (parsePatternText). The compiled patterns already held stay.
  void setPattern(const std::string& text);

  // The cache key text of the current pattern (cacheKeyText).
  std::string cacheKey() const { return cacheKeyText(pattern_); }

  // Makes the compiled form of the current expression and options ready,
  // compiling it unless it was compiled before (by this object, or into the
  // patterns it shares). Returns false when PCRE refuses it;
  // lastErrorText() and lastErrorOffset() then say why.
  bool prepare();

  // Makes `text` the subject of search() and starts at its beginning, with
  // a fresh step budget for it.
  void setSubject(const std::string& text);

  // One search of the subject from where the last one left it. Returns
  // pcre_exec's result: > 0 a match (one more than the highest group that
  // took part), 0 a match whose groups overflow the offset vector, < 0 no
  // match or a PCRE error. Returns 0 without searching, and leaves
  // captures() as it was, when the pattern does not compile.
  int search();

  // Fills captures() from the last search: one entry per valid pair, empty
  // for a group that took no part; no entry after a search that failed.
  void collectCaptures() { search_.collectCaptures(); }

  // PCRE's message for the current pattern when it does not compile; null
  // when it does. A static text of PCRE's own.
  const char* lastErrorText() const { return lastErrorText_; }
  // Byte offset in the expression where compilation failed; 0 when it did not.
  int32_t lastErrorOffset() const { return lastErrorOffset_; }

  // The expression and option bits of the current pattern.
  const std::string& expression() const { return pattern_.expression; }
  uint32_t options() const { return pattern_.options; }
  // Captured texts of the last search(): entry 0 the whole match.
  const std::vector<std::string>& captures() const { return search_.captures(); }
  // Patterns this object holds, refusals included (none when it shares them).
  size_t cacheSize() const { return ownPatterns_.size(); }

  // What PCRE tells of the current pattern, once prepare() succeeded.
  // The capturing groups the expression holds.
  int groupCount() const;
  // False only when every match of the current pattern and options consumes
  // at least one byte (a match whose start \K moved to its end consumed it).
  bool mayMatchEmpty() const;

 private:
  std::string substituteWith(const std::string& replacementTemplate, const std::string& subjectText,
                             int32_t limit, const StartCandidates* candidates);

  CompiledPatterns ownPatterns_;
  CompiledPatterns* patterns_ = &ownPatterns_;
  PatternText pattern_;
  const CompiledPattern* compiled_ = nullptr;  // of pattern_, once prepared
  const char* lastErrorText_ = nullptr;
  int32_t lastErrorOffset_ = 0;
  unsigned long stepsTaken_ = 0;
  // The subject of search(), and the searches over it.
  std::string subject_;
  Search search_{subject_};
};

}  // namespace qmx
