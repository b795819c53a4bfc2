// The searches of one pattern over one subject, as a substitution makes
// them one after the other: where the next begins, what the last one
// found, the steps all of them took. A substitution keeps one on its stack.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "regex/step_budget.h"

namespace qmx {

class CompiledPattern;

// Where a match may start, for a caller that knows more of the pattern
// than PCRE does: returns the first position at or after `from` (up to
// the subject's size) where a match can start, or std::string::npos when
// none can. The caller promises that trying the search's own start and
// then only these positions finds the same match as trying every one.
using StartCandidates = std::function<size_t(const std::string& subject, size_t from)>;

class Search {
 public:
  // Integers in the offset vector handed to pcre_exec: room for the whole
  // match and 332 groups.
  static constexpr int kOffsetCount = 1000;
  // Groups a match can report besides the whole match: PCRE fills pairs in
  // the first two thirds of the vector only. A match in which a higher group
  // takes part is reported as 0 (see run).
  static constexpr int kReportedGroups = kOffsetCount / 3 - 1;

  // Searches `subject`, which must outlive the object, from its start,
  // with a fresh step budget for it.
  explicit Search(const std::string& subject) : subject_(subject), steps_(subject.size()) {}

  // Starts again at the subject's beginning, with a fresh step budget (for
  // a subject that changed in place).
  void restart();

  // One search with `pattern`, which must have compiled, from the current
  // start, passing `execOptions` to pcre_exec. With `candidates` (and
  // without PCRE_ANCHORED) only the start and the positions they name are
  // tried, each as an anchored match. Returns pcre_exec's result: > 0 a
  // match (one more than the highest group that took part), 0 a match whose
  // groups overflow the offset vector, < 0 no match, a PCRE error, or
  // PCRE_ERROR_CALLOUT once the step budget is spent. Fills captures().
  int run(const CompiledPattern& pattern, int execOptions, const StartCandidates* candidates);

  const std::string& subject() const { return subject_; }
  int start() const { return start_; }
  void setStart(int start) { start_ = start; }
  int matchStart() const { return offsets_[0]; }
  int matchEnd() const { return offsets_[1]; }
  // True when the last search found a match PCRE can report although it
  // lies outside the text searched: \K in a lookaround can put its start
  // before the search's start or after its own end.
  bool matchOutsideSearch() const { return offsets_[0] < start_ || offsets_[0] > offsets_[1]; }

  // Fills captures() from the last search: one entry per valid pair, empty
  // for a group that took no part; no entry after a search that failed.
  void collectCaptures();
  // Captured texts of the last successful search: entry 0 the whole match.
  const std::vector<std::string>& captures() const { return captures_; }
  const StepCount& steps() const { return steps_; }

 private:
  int exec(const CompiledPattern& pattern, int offset, int execOptions);

  const std::string& subject_;
  int start_ = 0;
  int matchCount_ = 0;
  int offsets_[kOffsetCount] = {};
  std::vector<std::string> captures_;
  StepCount steps_;
};

}  // namespace qmx
