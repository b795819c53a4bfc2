// Fuzzes the promise behind the step budget: a substitution's time is
// bounded by the steps it counts. Work PCRE does without a callout and
// without moving forward (a caseless back reference compared again at
// every backtrack, a long fixed repeat that fails near its end at every
// start) is invisible to the count, so a rule can hold the thread for
// seconds while it has spent a fraction of its budget. The fuzzer builds a
// rule and a long subject from the rule's own bytes, times each
// substitution the plug-in would run, and fails when the time exceeds
// kFloor, plus kAllowancePerByte for every byte of the text (copies and
// scans that count no step), plus kAllowancePerStep for every step counted;
// or when the steps pass the budget by more than one step can add.
//
// Input: one byte of settings, the rule's From and its To, each a length
// byte and that many bytes (at most kMostPieces pieces or 255 bytes for the
// From, kLongestTo bytes for the To), then the subject's recipe. Settings,
// from bit 0: a word rule (else a Perl rule); From spelt from pieces of
// PCRE's syntax, one byte a piece (else as it stands); three bits of
// options (a Perl rule's option letters, or a word rule's case
// sensitivity); three bits of the subject's size, 64 KB to 1 MB. The recipe
// is pairs of bytes, a unit and a count (see unitFromByte and
// countFromByte); the pairs repeat until the subject has its size, so a few
// bytes describe a megabyte: «a» 65,534 times then «b» once, say.
//
// A substitution still running after kLongestSubstitution (spending a whole
// budget over 1 MB takes up to 20 s here) is reported from a watchdog
// thread, with its description, long before the families above would end
// over a megabyte; libFuzzer's -timeout stays the last guard against a hang.
//
// Set STEP_COST_VERBOSE to print every substitution's figures (to calibrate
// the allowance again, or to see what a seed costs), whatever the verdict.
//
// Linked with replay_main.cpp it is a plain program that runs the files
// named on its command line through the same code, without libFuzzer.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "correction/literal_word_rule.h"
#include "correction/rule_application.h"
#include "correction/word_road.h"
#include "correction/word_separators.h"
#include "regex/regex_replacer.h"
#include "tests/support/pcre_syntax.h"

using namespace qmx;
using Clock = std::chrono::steady_clock;

namespace {

// Calibrated in the fuzz build (clang -O2, AddressSanitizer, coverage
// instrumentation in PCRE too) on this 2-core machine under a load of 5 to
// 7. A step of an ordinary rule, or of a hostile one whose work is counted,
// takes 110 to 380 ns over 64 KB to 1 MB: «(a+)+b», «[.]+x», «a.*b» and a
// word rule «x.*y» spending their whole budget, word rules over runs of full
// stops, «(ab)\1», «colou?r». Where nearly every step starts a search or
// ends a match (the empty pattern, an empty match or «.» replaced at every
// byte, ten nested groups), the call and the captures cost more: up to
// 2.3 us a step. Work that counts no step is linear in the text: a pass of
// three steps still copies 1 MB (15 to 55 ms), and a word rule's
// plain-literal road takes 0.06 s over 64 KB, 0.9 s over 1 MB. The
// allowances lie five to ten times above the slowest of these. The families
// the fuzzer hunts take from 40 us to some hundreds of microseconds a
// counted step over 64 to 128 KB, and more over longer texts: their
// uncounted work grows with the square of a run's length.
constexpr auto kFloor = std::chrono::milliseconds(250);
constexpr auto kAllowancePerByte = std::chrono::nanoseconds(5000);
constexpr auto kAllowancePerStep = std::chrono::nanoseconds(20000);
constexpr auto kLongestSubstitution = std::chrono::seconds(60);

// Rule texts are short; the subject comes from the recipe, not the input.
constexpr size_t kMaxInput = 1024;
constexpr size_t kLongestTo = 8;
// Every family needs only a few pieces; more make noise that hides them.
constexpr size_t kMostPieces = 15;

// Mostly 64 to 256 KB; sizes that are no multiple of a long repeat leave
// a tail where it fails.
constexpr size_t kSubjectSizes[] = {65536, 80000, 100000, 131072, 200000, 262144, 600000, 1 << 20};
constexpr const char* kPerlOptions[] = {"", "i", "s", "m", "x", "is", "U", "iU"};

// The next part of the input: a length byte, taken modulo `lengths`, then
// that many bytes (fewer where the input ends).
std::string takePart(const uint8_t*& data, const uint8_t* end, size_t lengths) {
  if (data == end) return std::string();
  const size_t wanted = *data++ % lengths;
  const size_t length = std::min(wanted, static_cast<size_t>(end - data));
  std::string part(reinterpret_cast<const char*>(data), length);
  data += length;
  return part;
}

// For a byte from 64: what makes work the count may miss, so that most
// pieces come from here, since coverage alone rewards the rest of the
// syntax: large counted repeats, groups that hold the rest of the text and
// references to them, lookarounds that scan, alternations, caseless
// matching.
const std::vector<std::string>& costlyPieces() {
  static const std::vector<std::string> pieces = {
      "a",  "[ac]",  "{65535}", "{65534}", "{1000,}", "+",   "(.*)", "(?=(.*))",
      ".*", "(a*b)", "\\1",     "\\3",     "|",       "(?:", ")",    "(?i)"};
  return pieces;
}

// Unclosed groups are closed at the end, so that most choices compile.
std::string fromPieces(const std::string& choices) {
  std::string text;
  int open = 0;
  for (unsigned char choice : choices) {
    const std::vector<std::string>& pieces =
        choice < 64 ? qmxtest::pcreSyntaxPieces() : costlyPieces();
    const std::string& piece = pieces[choice % pieces.size()];
    text += piece;
    if (piece.size() > 1 && piece[0] == '\\') continue;
    for (char c : piece) open += c == '(' ? 1 : c == ')' ? -1 : 0;
  }
  return text + std::string(static_cast<size_t>(open > 0 ? open : 0), ')');
}

bool isLiteralByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

// What a subject is made of: the pattern's literal bytes and words, their
// neighbours and other case, and the word separators.
struct Units {
  std::vector<std::string> bytes;
  std::vector<std::string> words;
};

Units unitsOf(const std::string& expression) {
  Units units;
  std::string word;
  for (size_t i = 0; i <= expression.size(); ++i) {
    const unsigned char c = i < expression.size() ? expression[i] : 0;
    if (c == '\\') {
      ++i;  // an escape's letter («\d», «\1») is no literal
    } else if (c != 0 && isLiteralByte(c)) {
      word += static_cast<char>(c);
      const std::string one(1, static_cast<char>(c));
      bool known = false;
      for (const std::string& seen : units.bytes) known = known || seen == one;
      if (!known) units.bytes.push_back(one);
      continue;
    }
    if (!word.empty()) units.words.push_back(word);
    word.clear();
  }
  if (units.bytes.empty()) units.bytes.push_back("a");
  if (units.words.empty()) units.words.push_back(units.bytes[0]);
  return units;
}

char otherCase(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

// The low three bits choose the kind, the rest which one.
std::string unitFromByte(const Units& units, unsigned char choice) {
  static const char kSeparators[] = ".,!?- \r\n";
  const size_t which = choice >> 3;
  const std::string& byte = units.bytes[which % units.bytes.size()];
  switch (choice & 7) {
    case 0:
    case 1:
      return byte;
    case 2:
      return std::string(1, static_cast<char>(byte[0] + 1));
    case 3:
      return std::string(1, static_cast<char>(byte[0] - 1));
    case 4:
      return std::string(1, otherCase(byte[0]));
    case 5:
      return units.words[which % units.words.size()];
    default:
      return std::string(1, kSeparators[which % (sizeof kSeparators - 1)]);
  }
}

// Small counts as they stand; above them the lengths where repeats and
// PCRE's own limits change their behaviour.
size_t countFromByte(unsigned char choice) {
  static const size_t kCounts[] = {100,   255,   256,   299,   300,   301,    999,
                                   1000,  1001,  4095,  4096,  10000, 32767,  32768,
                                   65533, 65534, 65535, 65536, 65537, 100000, 1 << 20};
  if (choice < 128) return choice + 1u;
  return kCounts[(choice - 128u) % (sizeof kCounts / sizeof kCounts[0])];
}

struct RecipeEntry {
  std::string unit;
  size_t count;
};

std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out;
}

std::string describeRecipe(const std::vector<RecipeEntry>& recipe, size_t size) {
  std::string out = "(";
  for (const RecipeEntry& entry : recipe) {
    if (out.size() > 1) out += ' ';
    out += '"' + printable(entry.unit) + "\"x" + std::to_string(entry.count);
  }
  return out + ")... up to " + std::to_string(size) + " bytes";
}

std::string subjectFrom(const std::vector<RecipeEntry>& recipe, size_t size) {
  std::string subject;
  subject.reserve(size + 64);
  while (subject.size() < size) {
    for (const RecipeEntry& entry : recipe) {
      for (size_t i = 0; i < entry.count && subject.size() < size; ++i) subject += entry.unit;
    }
  }
  subject.resize(size);
  return subject;
}

// One substitution the plug-in runs for a rule.
struct Substitution {
  std::string pattern;
  std::string replacement;
  bool separatorStarts;  // tries only the starts nextSeparatorStart names
};

// A word rule's three passes as runWordRule runs them on the road its From
// calls for (wordRoadOf), one at a time so that each is timed with its own
// steps. Keep in step with that function. A From that
// is a plain literal never meets the patterns: none is returned.
std::vector<Substitution> wordRuleSubstitutions(const std::string& from, const std::string& to,
                                                bool caseSensitive) {
  const WordRoad road = wordRoadOf(from);
  if (road.literal) return {};
  std::vector<Substitution> passes;
  for (int pass = 0; pass < kWordRulePasses; ++pass) {
    passes.push_back({wordRulePattern(pass, from, caseSensitive), wordRuleTemplate(pass, to),
                      road.separatorStarts && pass != 1});
  }
  return passes;
}

void runSubstitution(RegexReplacer& replacer, const Substitution& substitution, std::string& text) {
  static const RegexReplacer::StartCandidates kSeparatorStarts = nextSeparatorStart;
  text = substitution.separatorStarts
             ? replacer.substitute(substitution.pattern, substitution.replacement, text, 0,
                                   kSeparatorStarts)
             : replacer.substitute(substitution.pattern, substitution.replacement, text, 0);
}

// Aborts the process, after printing what it was told, when a substitution
// runs past its deadline. Never destroyed: its thread runs until the end.
class Watchdog {
 public:
  static Watchdog& instance() {
    static Watchdog* watchdog = new Watchdog;
    return *watchdog;
  }

  void arm(const std::string& description, Clock::time_point deadline) {
    std::lock_guard<std::mutex> lock(mutex_);
    description_ = description;
    deadline_ = deadline;
    armed_ = true;
  }

  void disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }

 private:
  Watchdog() {
    std::thread([this] { watch(); }).detach();
  }

  void watch() {
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      std::lock_guard<std::mutex> lock(mutex_);
      if (!armed_ || Clock::now() < deadline_) continue;
      std::fprintf(
          stderr, "%s\nsubstitution still running after %lld s\n", description_.c_str(),
          static_cast<long long>(
              std::chrono::duration_cast<std::chrono::seconds>(kLongestSubstitution).count()));
      std::abort();
    }
  }

  std::mutex mutex_;
  std::string description_;
  Clock::time_point deadline_;
  bool armed_ = false;
};

Clock::duration allowedFor(size_t bytes, unsigned long steps) {
  return kFloor + kAllowancePerByte * static_cast<long long>(bytes) +
         kAllowancePerStep * static_cast<long long>(steps);
}

// How close runs came to their allowance, as features for libFuzzer: one
// counter for each quarter of an octave of time over allowed time. An input
// that comes closer than any before is kept and mutated further, so the
// search climbs towards uncounted work instead of waiting to stumble on it;
// work the steps count does not bring a rule closer.
__attribute__((used, section("__libfuzzer_extra_counters"))) uint8_t g_shareOfAllowance[64];

void noteShareOfAllowance(Clock::duration took, Clock::duration allowed) {
  const double share =
      std::chrono::duration<double>(took).count() / std::chrono::duration<double>(allowed).count();
  if (share <= 0) return;
  const int bucket = static_cast<int>(4 * std::log2(share * 4096));
  g_shareOfAllowance[std::clamp(bucket, 0, 63)] = 1;
}

// Prints the figures of one timed run, and aborts when they break a promise.
void judge(const std::string& what, Clock::duration took, size_t bytes, unsigned long steps,
           unsigned long budget, unsigned long largest) {
  static const bool verbose = std::getenv("STEP_COST_VERBOSE") != nullptr;
  const double nanoseconds = std::chrono::duration<double, std::nano>(took).count();
  noteShareOfAllowance(took, allowedFor(bytes, steps));
  const bool tooSlow = took > allowedFor(bytes, steps);
  const bool overBudget = steps > budget + largest;
  if (verbose || tooSlow || overBudget) {
    std::fprintf(stderr, "%s\n%lu steps of %lu, %.3f s, %.0f ns a step\n", what.c_str(), steps,
                 budget, nanoseconds / 1e9, nanoseconds / static_cast<double>(steps ? steps : 1));
  }
  if (tooSlow) {
    std::fputs("substitution took longer than its counted steps allow\n", stderr);
    std::abort();
  }
  if (overBudget) {
    std::fputs("substitution went on past its step budget\n", stderr);
    std::abort();
  }
}

}  // namespace

// AddressSanitizer's fill of every new block and its quarantine of freed
// ones cost more than a step (PCRE takes a block for every match frame) and
// vary with the state of the heap; this target measures time, and the other
// two hunt memory faults with the full checks.
extern "C" const char* __asan_default_options() {
  return "max_malloc_fill_size=0:quarantine_size_mb=0:thread_local_quarantine_size_kb=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const uint8_t* end = data + size;
  const bool wordRule = data[0] & 1;
  const bool spelt = data[0] & 2;
  const unsigned options = (data[0] >> 2) & 7;
  const size_t subjectSize = kSubjectSizes[data[0] >> 5];
  ++data;
  const std::string fromPart = takePart(data, end, spelt ? kMostPieces + 1 : 256);
  const std::string from = spelt ? fromPieces(fromPart) : fromPart;
  const std::string to = takePart(data, end, kLongestTo + 1);
  const bool caseSensitive = options & 1;
  std::vector<Substitution> substitutions;
  RegexReplacer replacer;
  if (wordRule) {
    substitutions = wordRuleSubstitutions(from, to, caseSensitive);
    replacer.setPattern("/" + from + "/");
  } else {
    substitutions.push_back({spelt ? "/" + from + "/" + kPerlOptions[options] : from, to, false});
    replacer.setPattern(substitutions[0].pattern);
  }

  const Units units = unitsOf(replacer.expression());
  std::vector<RecipeEntry> recipe;
  for (; end - data >= 2; data += 2) {
    recipe.push_back({unitFromByte(units, data[0]), countFromByte(data[1])});
  }
  if (recipe.empty()) {
    // Runs of the first literal, each broken by its neighbour near its end.
    recipe.push_back({units.bytes[0], 65534});
    recipe.push_back({unitFromByte(units, 2), 1});
  }
  std::string text = subjectFrom(recipe, subjectSize);
  const std::string rule =
      (wordRule ? "word rule (case " + std::string(caseSensitive ? "sensitive" : "insensitive") +
                      ") \"" + printable(from)
                : "Perl rule \"" + printable(substitutions[0].pattern)) +
      "\" -> \"" + printable(to) + "\"";
  const std::string subject = "subject " + describeRecipe(recipe, subjectSize);

  if (wordRule && substitutions.empty()) {
    // The plain-literal road counts no steps: its time is bounded by the bytes.
    const Clock::time_point start = Clock::now();
    Watchdog::instance().arm(rule + "\n" + subject, start + kLongestSubstitution);
    applyWordRule(text, from, to, [caseSensitive] { return caseSensitive; });
    const Clock::duration took = Clock::now() - start;
    Watchdog::instance().disarm();
    judge(rule + ", without patterns\n" + subject, took, subjectSize, 0, 0, 0);
    return 0;
  }

  // Compilation is once a rule, not once a message (the rule loop keeps
  // compiled patterns), and counts no step: the timed runs find the
  // patterns compiled.
  for (const Substitution& substitution : substitutions) {
    std::string empty;
    runSubstitution(replacer, substitution, empty);
  }

  for (size_t pass = 0; pass < substitutions.size(); ++pass) {
    const size_t passSize = text.size();
    const std::string what = rule + ", pass " + std::to_string(pass + 1) + ": \"" +
                             printable(substitutions[pass].pattern) + "\"\n" + subject + ", " +
                             std::to_string(passSize) + " bytes this pass";
    const Clock::time_point start = Clock::now();
    Watchdog::instance().arm(what, start + kLongestSubstitution);
    runSubstitution(replacer, substitutions[pass], text);
    const Clock::duration took = Clock::now() - start;
    Watchdog::instance().disarm();
    judge(what, took, passSize, replacer.stepsTaken(), RegexReplacer::stepBudget(passSize),
          RegexReplacer::largestStep(passSize));
  }
  return 0;
}
