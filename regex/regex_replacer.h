// Perl-style substitution over PCRE: a delimited pattern with option letters,
// a replacement template with "$0".."$9" and "$&", applied to 8-bit text.
#pragma once

#include <pcre.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "regex/compiled_patterns.h"

namespace qmx {

// One substitution engine. A rule application makes one as a local object,
// calls `substitute` once or a few times in a row and destroys it; the
// patterns it compiled live as long as the object. Not thread-safe: one
// thread uses an object at a time.
//
// Pattern text: a delimiter (any first byte), the expression, the same
// delimiter again, then option letters. The expression ends at the last
// occurrence of the delimiter, so the delimiter may stand unescaped inside
// it. Letters (case-sensitive; anything else, "g" included, is ignored):
//   i PCRE_CASELESS   m PCRE_MULTILINE       s PCRE_DOTALL     x PCRE_EXTENDED
//   A PCRE_ANCHORED   D PCRE_DOLLAR_ENDONLY  X PCRE_EXTRA      B PCRE_NOTBOL
//   N PCRE_NOTEOL     U PCRE_UNGREEDY        E PCRE_NOTEMPTY   8 PCRE_UTF8
// The engine is built without UTF-8 support, so "8" never compiles.
//
// Template: "$" and one digit "0".."9" inserts that group, "$&" the whole
// match; a group that took no part or does not exist inserts nothing. There
// is no escape character; every other byte is copied as it stands.
class RegexReplacer {
 public:
  // Compile options pass everything but the three exec-only bits.
  static constexpr uint32_t kExecOnlyOptions = PCRE_NOTBOL | PCRE_NOTEOL | PCRE_NOTEMPTY;
  // A search passes these bits of `options` to pcre_exec.
  static constexpr uint32_t kSearchOptions =
      PCRE_ANCHORED | PCRE_NOTBOL | PCRE_NOTEOL | PCRE_NOTEMPTY;
  // Integers in the offset vector handed to pcre_exec: room for the whole
  // match and 332 groups.
  static constexpr int kOffsetCount = 1000;
  // Groups a match can report besides the whole match: PCRE fills pairs in
  // the first two thirds of the vector only. A match in which a higher group
  // takes part is reported as 0 (see search).
  static constexpr int kReportedGroups = kOffsetCount / 3 - 1;

  RegexReplacer() = default;
  // Takes its compiled patterns from `shared`, and keeps there those it
  // compiles (refusals too), instead of holding patterns of its own.
  // `shared` must outlive the object.
  explicit RegexReplacer(CompiledPatterns* shared) : shared_(shared) {}
  // Releases every compiled pattern the object holds.
  ~RegexReplacer();
  // The object owns its compiled patterns; a copy would release them twice.
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
  // may take stepBudget(subject size) steps (see stepBudget), and when they
  // run out the rest of the subject is copied as it stands. A replacement
  // that would write more than expansionBudget(subject size) bytes in all
  // (template_expansion.h), and a match that PCRE reports starting before
  // the search's start or after its own end (\K inside a lookaround), end
  // the substitution the same way.
  std::string substitute(const std::string& patternText, const std::string& replacementTemplate,
                         const std::string& subjectText, int32_t limit);

  // Where a match may start, for a caller that knows more of the pattern
  // than PCRE does: returns the first position at or after `from` (up to
  // the subject's size) where a match can start, or std::string::npos when
  // none can. The caller promises that trying the search's own start and
  // then only these positions finds the same match as trying every one.
  using StartCandidates = std::function<size_t(const std::string& subject, size_t from)>;

  // `substitute`, trying matches only at the search's start and at the
  // positions `candidates` names, each as an anchored match. Same results
  // when the caller's promise holds; no hopeless starts inside long texts.
  std::string substitute(const std::string& patternText, const std::string& replacementTemplate,
                         const std::string& subjectText, int32_t limit,
                         const StartCandidates& candidates);

  // The steps one substitution (or the searches after one setSubject) may
  // take over a subject of `subjectSize` bytes. A step is one of PCRE's
  // callouts (one before each item of the pattern the matcher tries), or
  // kScannedBytesPerStep bytes of work between two of them: bytes the
  // matcher moved forward (a possessive repeat, a back reference), and the
  // work the engine itself counts because no callout can see it (bytes a
  // repeat or a back reference examined before it failed, a repeat that
  // ends a lookahead, the start-of-match scans, the offsets saved at a
  // subroutine call; see scripts/pcre-patches/). Every item the matcher
  // tries is behind a callout, and the work of one item is bounded by the
  // subject's size, so the budget bounds the time whatever the pattern.
  static unsigned long stepBudget(size_t subjectSize);
  static constexpr unsigned long kScannedBytesPerStep = 16;
  // The most the count can grow between two of the checks that end a
  // search when it passes the budget: the step that ends the searches
  // passes the budget by no more than this. (Mostly work already done: the
  // matcher's frames count what they examined as they return.)
  static unsigned long largestStep(size_t subjectSize);
  // Steps the searches since the last setSubject took.
  unsigned long stepsTaken() const { return steps_.taken(); }

  // Makes `text` the pattern: splits it into the expression and the option
  // letters (parsePattern). The compiled patterns already held stay.
  void setPattern(const std::string& text);

  // Splits the text held as the expression into the bare expression and the
  // option bits, replacing both. An empty text, a lone delimiter or a first
  // byte that occurs nowhere else gives the empty expression; in the last
  // case the bytes after the delimiter still count as letters.
  void parsePattern();

  // The cache key text of the current pattern: the expression, "/", then one
  // byte 65 + (options & 127). Option bits above 127 are not in it.
  std::string cacheKey() const;

  // Makes the compiled form of the current expression and options ready,
  // compiling it unless this object compiled it before. Returns false when
  // PCRE refuses it; lastErrorText() and lastErrorOffset() then say why.
  // A refused pattern is not remembered and is compiled again next time,
  // unless the object shares its patterns, where the refusal is kept.
  bool prepare();

  // Makes `text` the subject and starts the next search at its beginning,
  // with a fresh step budget for it.
  void setSubject(const std::string& text);

  // One search of the subject from the current start offset. Returns
  // pcre_exec's result: > 0 a match (one more than the highest group that
  // took part), 0 a match whose groups overflow the offset vector, < 0 no
  // match or a PCRE error. Returns 0 without searching, and leaves
  // captures() as it was, when the pattern does not compile.
  int search();

  // Fills captures() from the last search: one entry per valid pair, empty
  // for a group that took no part; no entry after a search that failed.
  void collectCaptures();

  // The replacement for the current match: `replacementTemplate` with its
  // group references expanded from captures(). Inserted texts are not
  // scanned again.
  std::string expandTemplate(const std::string& replacementTemplate) const;

  // PCRE's message from the last compilation attempt; null when it
  // succeeded or the pattern came from this object's cache. A static text
  // of PCRE's own.
  const char* lastErrorText() const { return lastErrorText_; }
  // Byte offset in the expression where the last compilation failed; 0 when
  // it succeeded.
  int32_t lastErrorOffset() const { return lastErrorOffset_; }

  // The expression and option bits of the current pattern.
  const std::string& expression() const { return expression_; }
  uint32_t options() const { return options_; }
  // Captured texts of the last successful search: entry 0 the whole match.
  const std::vector<std::string>& captures() const { return captures_; }
  // Number of distinct patterns this object holds compiled (none when it
  // shares them).
  size_t cacheSize() const { return cache_.size(); }

  // What PCRE tells of the current pattern, once prepare() succeeded.
  // The capturing groups the expression holds.
  int groupCount() const;
  // False only when every match of the current pattern and options consumes
  // at least one byte (a match whose start \K moved to its end consumed it).
  bool mayMatchEmpty() const;

 private:
  // The cache key text alone leaves out option bits above 127, two of which
  // (PCRE_UNGREEDY, PCRE_UTF8) change what compiles; the compile options
  // complete it.
  using PatternKey = CompiledPatterns::Key;

  // The work of the searches over one subject, seen through PCRE's
  // callouts.
  struct StepCount {
    unsigned long callouts = 0;
    unsigned long scannedBytes = 0;
    unsigned long unseenWork = 0;  // counted by the engine itself
    int lastPosition = 0;
    unsigned long budget = 0;
    bool subroutines = false;  // the pattern may call a subroutine
    unsigned long taken() const {
      return callouts + (scannedBytes + unseenWork) / kScannedBytesPerStep;
    }
    bool spent() const { return taken() > budget; }
  };
  static int countStep(pcre_callout_block* block);

  PatternKey patternKey() const;
  // Compiles the current expression under the current key's options.
  CompiledPatterns::Entry compile() const;
  // `search` with extra pcre_exec options for this one call.
  int searchWith(int extraExecOptions);
  // One pcre_exec from `offset`, counting its steps.
  int exec(int offset, int execOptions);
  // True when the last search found a match PCRE can report although it
  // lies outside the text searched: \K in a lookaround can put its start
  // before the search's start or after its own end.
  bool matchOutsideSearch() const;

  const char* lastErrorText_ = nullptr;
  int32_t lastErrorOffset_ = 0;
  uint32_t options_ = 0;
  int32_t startOffset_ = 0;
  std::vector<std::string> captures_;
  std::map<PatternKey, pcre*> cache_;
  CompiledPatterns* shared_ = nullptr;  // when set, used instead of cache_
  pcre* compiled_ = nullptr;            // always an entry of cache_, released only through it
  PatternKey currentKey_;
  std::string expression_;
  bool callsSubroutines_ = false;  // the expression may call a subroutine
  std::string subject_;
  int32_t matchCount_ = 0;
  int offsets_[kOffsetCount] = {};
  StepCount steps_;
  const StartCandidates* candidates_ = nullptr;  // during one substitution
};

}  // namespace qmx
