#include "regex/regex_replacer.h"

#include "regex/template_expansion.h"

#include <cstddef>

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
static_assert(RegexReplacer::kExecOnlyOptions == 0x580 && RegexReplacer::kSearchOptions == 0x590,
              "compile and search masks");

// Only the bits below PCRE_NOTBOL go into the key byte, which therefore
// stays within 65..192.
constexpr uint32_t kKeyOptionBits = 127;
constexpr unsigned char kKeyBase = 65;

// PCRE's own match limit counts the work from one start position only, and
// one substitution runs a search per match, so neither bounds the time a
// pattern that backtracks just below it at every position would hold the
// messenger's thread. Every compiled pattern reports each step through the
// callout, and all searches over one subject share this budget: about a
// second of the slowest matching over a megabyte here, while ordinary
// patterns over long texts take a small fraction of it.
constexpr int kStepCountingOptions = PCRE_AUTO_CALLOUT | PCRE_NO_AUTO_POSSESS;
constexpr unsigned long kStepBase = 10000000UL;
constexpr unsigned long kStepsPerByte = 40UL;

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

// True when `expression` may call a subroutine. Errs on the side of yes: a
// false yes only makes that pattern's steps count more.
bool maySubroutineCall(const std::string& expression) {
  for (size_t at = expression.find("(?"); at != std::string::npos;
       at = expression.find("(?", at + 1)) {
    const char next = at + 2 < expression.size() ? expression[at + 2] : '\0';
    if (next == 'R' || next == '&' || next == '+' || next == '-' || next == 'P' ||
        (next >= '0' && next <= '9')) {
      return true;
    }
  }
  return expression.find("\\g") != std::string::npos;
}

}  // namespace

unsigned long RegexReplacer::stepBudget(size_t subjectSize) {
  return kStepBase + kStepsPerByte * static_cast<unsigned long>(subjectSize);
}

unsigned long RegexReplacer::largestStep(size_t subjectSize) {
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
  return 1 + kSubroutineStepCost + frames / kFramesPerStep + unseen / kScannedBytesPerStep;
}

int RegexReplacer::countStep(pcre_callout_block* block) {
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

RegexReplacer::~RegexReplacer() {
  for (auto& entry : cache_) pcre_free(entry.second);
}

void RegexReplacer::setPattern(const std::string& text) {
  expression_ = text;
  parsePattern();
}

void RegexReplacer::parsePattern() {
  options_ = 0;
  callsSubroutines_ = false;
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
  // Once a pattern, not at every search: a word rule's search may start
  // pcre_exec at every separator of a long text.
  callsSubroutines_ = maySubroutineCall(expression_);
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
  lastErrorText_ = nullptr;
  lastErrorOffset_ = 0;
  if (compiled_) return true;

  if (shared_) {
    const CompiledPatterns::Entry* entry = shared_->find(currentKey_);
    if (!entry) entry = &shared_->add(currentKey_, compile());
    compiled_ = entry->compiled;
    lastErrorText_ = entry->errorText;
    lastErrorOffset_ = entry->errorOffset;
    return compiled_ != nullptr;
  }

  auto found = cache_.find(currentKey_);
  if (found != cache_.end()) {
    compiled_ = found->second;
    return true;
  }
  const CompiledPatterns::Entry entry = compile();
  lastErrorText_ = entry.errorText;
  lastErrorOffset_ = entry.errorOffset;
  // A refusal is not remembered: the same pattern is compiled, and refused,
  // again.
  if (!entry.compiled) return false;
  compiled_ = entry.compiled;
  cache_.emplace(currentKey_, compiled_);
  return true;
}

CompiledPatterns::Entry RegexReplacer::compile() const {
  // Built-in character tables only: a locale's tables would make "i", \w
  // and \b treat the code page's national letters differently per machine.
  // Every item reports its steps (see countStep). Auto-possessification
  // changes no match, but its pass over the compiled pattern takes time that
  // grows with the square of nested repeats («(a{0,65535}){0,65535}»: five
  // seconds for every message), so it is left out.
  CompiledPatterns::Entry entry;
  entry.compiled =
      pcre_compile(expression_.c_str(), static_cast<int>(currentKey_.second) | kStepCountingOptions,
                   &entry.errorText, &entry.errorOffset, nullptr);
  if (entry.compiled && entry.errorText) {
    pcre_free(entry.compiled);
    entry.compiled = nullptr;
  }
  return entry;
}

int RegexReplacer::groupCount() const {
  int count = 0;
  pcre_fullinfo(compiled_, nullptr, PCRE_INFO_CAPTURECOUNT, &count);
  return count;
}

bool RegexReplacer::mayMatchEmpty() const {
  if (options_ & PCRE_NOTEMPTY) return false;
  // Studying gives the length every match consumes at least. It is a lower
  // bound, so 0 (which PCRE reports as none) covers every pattern that can
  // match nothing, and a length above 0 proves that none can. The answer
  // errs only towards yes, where PCRE gives up on a tighter bound: (*ACCEPT),
  // a recursion, a back reference into its own group, a pattern too complex
  // to study. Trying the pattern on sample texts instead could never cover
  // every context a lookaround or an anchor may need.
  const char* error = nullptr;
  pcre_extra* study = pcre_study(compiled_, 0, &error);
  int least = -1;
  if (study) pcre_fullinfo(compiled_, study, PCRE_INFO_MINLENGTH, &least);
  pcre_free_study(study);
  return least <= 0;
}

void RegexReplacer::setSubject(const std::string& text) {
  subject_ = text;
  startOffset_ = 0;
  steps_ = StepCount();
  steps_.budget = stepBudget(subject_.size());
}

int RegexReplacer::search() {
  return searchWith(0);
}

int RegexReplacer::exec(int offset, int execOptions) {
  // The engine's own count may have passed the budget after the last
  // callout of the previous call (a search that ended without one, say).
  if (steps_.spent()) return PCRE_ERROR_CALLOUT;
  // The callout hook is one global of PCRE's; the count it feeds is this
  // object's.
  pcre_callout = &RegexReplacer::countStep;
  pcre_extra extra{};
  // The engine adds what no callout sees to the same count.
  extra.flags = PCRE_EXTRA_CALLOUT_DATA | PCRE_EXTRA_SCAN_COUNT;
  extra.callout_data = &steps_;
  extra.scan_count = &steps_.unseenWork;
  steps_.lastPosition = offset;
  steps_.subroutines = callsSubroutines_;
  if (steps_.subroutines) {
    g_outerFrameMalloc = pcre_stack_malloc;
    g_outerFrameFree = pcre_stack_free;
    g_liveFrames = 0;
    pcre_stack_malloc = countedFrameMalloc;
    pcre_stack_free = countedFrameFree;
  }
  // No study data, and the subject's own length: a NUL byte inside it is
  // text like any other.
  const int result =
      pcre_exec(compiled_, &extra, subject_.data(), static_cast<int>(subject_.size()), offset,
                execOptions, offsets_, kOffsetCount);
  if (steps_.subroutines) {
    pcre_stack_malloc = g_outerFrameMalloc;
    pcre_stack_free = g_outerFrameFree;
  }
  return result;
}

int RegexReplacer::searchWith(int extraExecOptions) {
  if (!prepare()) return 0;
  // A search that runs out of steps ends like one that found nothing more:
  // the text stays as it is from there on.
  const int execOptions = static_cast<int>(options_ & kSearchOptions) | extraExecOptions;
  if (candidates_ && !(execOptions & PCRE_ANCHORED)) {
    // PCRE would try every position from the start; the caller's promise
    // lets the search try its start and the candidates alone.
    matchCount_ = exec(startOffset_, execOptions | PCRE_ANCHORED);
    const size_t size = subject_.size();
    for (size_t at = (*candidates_)(subject_, static_cast<size_t>(startOffset_) + 1);
         matchCount_ == PCRE_ERROR_NOMATCH && at <= size; at = (*candidates_)(subject_, at + 1)) {
      matchCount_ = exec(static_cast<int>(at), execOptions | PCRE_ANCHORED);
    }
  } else {
    matchCount_ = exec(startOffset_, execOptions);
  }
  collectCaptures();
  return matchCount_;
}

bool RegexReplacer::matchOutsideSearch() const {
  return offsets_[0] < startOffset_ || offsets_[0] > offsets_[1];
}

void RegexReplacer::collectCaptures() {
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

std::string RegexReplacer::expandTemplate(const std::string& replacementTemplate) const {
  std::string out;
  appendExpansion(out, replacementTemplate, captures_.size(),
                  [this](std::string& to, size_t group) { to += captures_[group]; });
  return out;
}

std::string RegexReplacer::substitute(const std::string& patternText,
                                      const std::string& replacementTemplate,
                                      const std::string& subjectText, int32_t limit,
                                      const StartCandidates& candidates) {
  candidates_ = &candidates;
  // Cleared however the substitution ends: an allocation may fail inside.
  struct ClearCandidates {
    const StartCandidates*& held;
    ~ClearCandidates() { held = nullptr; }
  } clear{candidates_};
  return substitute(patternText, replacementTemplate, subjectText, limit);
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
  size_t expansionsLeft = expansionBudget(subject_.size());
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
    // No match, a PCRE error, the step budget spent, groups that overflow
    // the offset vector, or a match outside what was searched (replacing it
    // would copy a negative length and search the same place for ever): the
    // rest of the subject is copied below as it stands.
    if (found <= 0 || matchOutsideSearch()) break;
    // So does a replacement that would write more than the substitution may.
    const size_t expansion =
        expansionSize(replacementTemplate, captures_.size(),
                      [this](size_t group) { return captures_[group].size(); });
    if (expansion > expansionsLeft) break;
    expansionsLeft -= expansion;

    result.append(subject_, static_cast<size_t>(startOffset_),
                  static_cast<size_t>(offsets_[0] - startOffset_));
    appendExpansion(result, replacementTemplate, captures_.size(),
                    [this](std::string& to, size_t group) { to += captures_[group]; });
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

}  // namespace qmx
