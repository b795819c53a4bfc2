// The step budget that bounds the time of every substitution, whatever its
// pattern: PCRE's own match limit counts the work from one start position
// only, and a substitution runs a search per match, so neither bounds the
// time a pattern that backtracks just below it at every position would hold
// the messenger's thread. All the searches over one subject share one count.
#pragma once

#include <pcre.h>

#include <cstddef>
#include <string>

namespace qmx {

class CompiledPattern;

// What every pattern is compiled with so that its steps can be counted: a
// callout before each item (PCRE_AUTO_CALLOUT), and no auto-possessification,
// whose repeats would scan without one.
constexpr int kStepCountingOptions = PCRE_AUTO_CALLOUT | PCRE_NO_AUTO_POSSESS;

// A step is one of PCRE's callouts (one before each item of the pattern the
// matcher tries), or kScannedBytesPerStep bytes of work between two of
// them: bytes the matcher moved forward (a possessive repeat, a back
// reference), and the work the engine itself counts because no callout can
// see it (bytes a repeat or a back reference examined before it failed, a
// repeat that ends a lookahead, the start-of-match scans, the offsets saved
// at a subroutine call; see scripts/pcre-patches/), and the captured text
// copied for each match. Every item the matcher tries is behind a callout,
// and the work of one item is bounded by the subject's size, so the budget
// bounds the time whatever the pattern.
constexpr unsigned long kScannedBytesPerStep = 16;

// The steps the searches over a subject of `subjectSize` bytes may take
// together: about a second of the slowest matching over a megabyte here,
// while ordinary patterns over long texts take a small fraction of it.
unsigned long stepBudget(size_t subjectSize);

// The most the count can grow between two of the checks that end the
// searches when it passes the budget: the step that ends them passes the
// budget by no more than this. (Mostly work already done: the matcher's
// frames count what they examined as they return.)
unsigned long largestStep(size_t subjectSize);

// The work of the searches over one subject.
struct StepCount {
  unsigned long callouts = 0;
  unsigned long scannedBytes = 0;  // moved forward between two callouts
  unsigned long unseenWork = 0;    // counted by the engine, and captures copied
  unsigned long budget = 0;
  int lastPosition = 0;
  bool subroutines = false;  // the pattern may call a subroutine

  explicit StepCount(size_t subjectSize = 0) : budget(stepBudget(subjectSize)) {}
  unsigned long taken() const {
    return callouts + (scannedBytes + unseenWork) / kScannedBytesPerStep;
  }
  bool spent() const { return taken() > budget; }
};

// pcre_exec of `pattern` over `subject` from `offset` with `execOptions`,
// filling `offsets` (`offsetCount` integers), its steps counted in `steps`.
// PCRE_ERROR_CALLOUT when the budget is spent, before or during the search.
int countedExec(const CompiledPattern& pattern, const std::string& subject, int offset,
                int execOptions, int* offsets, int offsetCount, StepCount& steps);

}  // namespace qmx
