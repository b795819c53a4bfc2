#include "regex/search.h"

#include "regex/compiled_pattern.h"

namespace qmx {

void Search::restart() {
  start_ = 0;
  steps_ = StepCount(subject_.size());
}

int Search::exec(const CompiledPattern& pattern, int offset, int execOptions) {
  return countedExec(pattern, subject_, offset, execOptions, offsets_, kOffsetCount, steps_);
}

int Search::run(const CompiledPattern& pattern, int execOptions,
                const StartCandidates* candidates) {
  // A search that runs out of steps ends like one that found nothing more:
  // the text stays as it is from there on.
  if (candidates && !(execOptions & PCRE_ANCHORED)) {
    // PCRE would try every position from the start; the caller's promise
    // lets the search try its start and the candidates alone.
    matchCount_ = exec(pattern, start_, execOptions | PCRE_ANCHORED);
    const size_t size = subject_.size();
    for (size_t at = (*candidates)(subject_, static_cast<size_t>(start_) + 1);
         matchCount_ == PCRE_ERROR_NOMATCH && at <= size; at = (*candidates)(subject_, at + 1)) {
      matchCount_ = exec(pattern, static_cast<int>(at), execOptions | PCRE_ANCHORED);
    }
  } else {
    matchCount_ = exec(pattern, start_, execOptions);
  }
  collectCaptures();
  return matchCount_;
}

void Search::collectCaptures() {
  captures_.clear();
  if (matchCount_ <= 0) return;
  captures_.resize(static_cast<size_t>(matchCount_));
  for (int i = 0; i < matchCount_; ++i) {
    const int start = offsets_[2 * i];
    const int end = offsets_[2 * i + 1];
    // A group that took no part has start -1 and stays empty; so does a
    // whole match that \K inside a lookahead made end before it starts.
    if (start >= 0 && end >= start) {
      captures_[static_cast<size_t>(i)].assign(subject_, static_cast<size_t>(start),
                                               static_cast<size_t>(end - start));
      // Copying is work too: a match whose lookaheads capture the rest of
      // the text copies it again at every match.
      steps_.unseenWork += static_cast<unsigned long>(end - start);
    }
  }
}

}  // namespace qmx
