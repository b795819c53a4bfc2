#include "regex/step_budget.h"

#include "regex/compiled_pattern.h"

namespace qmx {

namespace {

constexpr unsigned long kStepBase = 10000000UL;
constexpr unsigned long kStepsPerByte = 40UL;
// Past a megabyte the budget stays that of a megabyte: a text that rules
// made longer than any message (up to 16 MB, see template_expansion.h) must
// not buy each later rule more time.
constexpr size_t kLongestBudgetedText = 1024 * 1024;

// A call of pcre_exec costs about this many steps before the matcher tries
// an item: the search's set-up, and the first item's callout. A word rule's
// search tries a match at every separator, each one such call.
constexpr unsigned long kStepsPerCall = 8;

// A subroutine call ((?R), (?1), (?&name) ...) costs more than a step: PCRE
// saves the whole offset vector at each one and walks every call still
// open to catch a loop, so deep recursion makes each step slower the deeper
// it goes. For patterns that hold one, every step also counts this much,
// and one more for each kFramesPerStep match frames then alive (the open
// calls are among them).
constexpr unsigned long kSubroutineStepCost = 16;
constexpr unsigned long kFramesPerStep = 8;

// PCRE's match frames alive now: its match recursion takes them from these
// hooks (built without stack recursion), which wrap whatever hooks were set
// before.
unsigned long g_liveFrames = 0;
void* (*g_outerFrameMalloc)(size_t) = nullptr;
void (*g_outerFrameFree)(void*) = nullptr;

void* countedFrameMalloc(size_t size) {
  void* frame = g_outerFrameMalloc(size);
  if (frame) ++g_liveFrames;
  return frame;
}

void countedFrameFree(void* frame) {
  --g_liveFrames;
  g_outerFrameFree(frame);
}

int countStep(pcre_callout_block* block) {
  StepCount& steps = *static_cast<StepCount*>(block->callout_data);
  ++steps.callouts;
  if (steps.subroutines) steps.callouts += kSubroutineStepCost + g_liveFrames / kFramesPerStep;
  // A possessive repeat, an auto-possessified class or a back reference
  // moves over the text without a callout; what it moved over shows in the
  // distance since the last one.
  if (block->current_position > steps.lastPosition) {
    steps.scannedBytes += static_cast<unsigned long>(block->current_position - steps.lastPosition);
  }
  steps.lastPosition = block->current_position;
  return steps.spent() ? PCRE_ERROR_CALLOUT : 0;
}

}  // namespace

unsigned long stepBudget(size_t subjectSize) {
  const size_t budgeted = subjectSize < kLongestBudgetedText ? subjectSize : kLongestBudgetedText;
  return kStepBase + kStepsPerByte * static_cast<unsigned long>(budgeted);
}

unsigned long largestStep(size_t subjectSize) {
  // The frames alive never pass PCRE's own recursion limit. Between two
  // checks: one callout, the distance moved, one item's own work (a scan or
  // a back reference, each within the subject), and what every frame that
  // returns counts for the bytes it moved past its last callout; then the
  // bounded costs the engine counts besides (the groups of one name, the
  // offsets of one subroutine call, an open call walked per frame).
  unsigned long frames = 0;
  pcre_config(PCRE_CONFIG_MATCH_LIMIT_RECURSION, &frames);
  const unsigned long subject = static_cast<unsigned long>(subjectSize);
  constexpr unsigned long kMostGroups = 65535;
  constexpr unsigned long kMostOffsets = 3 * kMostGroups + 3;
  const unsigned long unseen = (frames + 3) * subject + kMostGroups + kMostOffsets / 2 + frames;
  return kStepsPerCall + 1 + kSubroutineStepCost + frames / kFramesPerStep +
         unseen / kScannedBytesPerStep;
}

int countedExec(const CompiledPattern& pattern, const std::string& subject, int offset,
                int execOptions, int* offsets, int offsetCount, StepCount& steps) {
  // The engine's own count may have passed the budget after the last
  // callout of the previous call (a search that ended without one, say).
  steps.callouts += kStepsPerCall;
  if (steps.spent()) return PCRE_ERROR_CALLOUT;
  // PCRE's callout and frame hooks are globals of the library: set here for
  // this one call and, for the frame hooks, put back after it. So patterns
  // may run on one thread at a time only (the plug-in runs on the host's
  // one thread that calls it).
  pcre_callout = &countStep;
  pcre_extra extra{};
  // The engine adds what no callout sees to the same count.
  extra.flags = PCRE_EXTRA_CALLOUT_DATA | PCRE_EXTRA_SCAN_COUNT;
  extra.callout_data = &steps;
  extra.scan_count = &steps.unseenWork;
  steps.lastPosition = offset;
  steps.subroutines = pattern.callsSubroutines();
  if (steps.subroutines) {
    g_outerFrameMalloc = pcre_stack_malloc;
    g_outerFrameFree = pcre_stack_free;
    g_liveFrames = 0;
    pcre_stack_malloc = countedFrameMalloc;
    pcre_stack_free = countedFrameFree;
  }
  // No study data, and the subject's own length: a NUL byte inside it is
  // text like any other.
  const int result =
      pcre_exec(pattern.code(), &extra, subject.data(), static_cast<int>(subject.size()), offset,
                execOptions, offsets, offsetCount);
  if (steps.subroutines) {
    pcre_stack_malloc = g_outerFrameMalloc;
    pcre_stack_free = g_outerFrameFree;
  }
  return result;
}

}  // namespace qmx
