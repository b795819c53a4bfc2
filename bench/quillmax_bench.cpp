// Benchmarks of the correction path, each figure of the whole pipeline set
// against its floor (the bare PCRE calls of the same rules), and a summary
// of the targets, in CPU time, after the usual table.
//
//   build/bench/bench/quillmax_bench [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>
#include <pcre.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_host.h"
#include "bench/bench_summary.h"
#include "bench/pcre_floor.h"
#include "bench/workload.h"
#include "correction/case_option.h"
#include "correction/rule_application.h"
#include "regex/regex_replacer.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/entry_point.h"
#include "shell/host_services.h"

using namespace qmx;

namespace {

using qmxbench::BenchHost;
using qmxbench::Figure;
using qmxbench::FloorPattern;
using qmxbench::Mix;
using qmxbench::Rule;

constexpr size_t kRuleCounts[] = {10, 100, 1000};
constexpr size_t kMessageSizes[] = {20, 200, 4096, 65536};
// Mixes where every From is present, chosen so that every From fits.
constexpr std::pair<size_t, size_t> kAllPresentCases[] = {{10, 200}, {100, 4096}, {1000, 65536}};
constexpr size_t kSeparatorRuns[] = {10000, 40000, 80000};

// Each figure runs for at least this long; the long ones, far above timer
// noise, run once, so that `make bench` stays within minutes.
constexpr double kMinTime = 0.3;

struct RuleBaseData {
  std::vector<Rule> rules;
  std::vector<FloorPattern> floor;
};

const RuleBaseData& ruleBase(size_t count) {
  static std::map<size_t, std::unique_ptr<RuleBaseData>> bases;
  std::unique_ptr<RuleBaseData>& base = bases[count];
  if (!base) {
    base = std::make_unique<RuleBaseData>();
    base->rules = qmxbench::makeRuleBase(count);
    base->floor = qmxbench::floorPatterns(base->rules);
  }
  return *base;
}

std::string mixName(Mix mix) {
  return mix == Mix::kTypical ? "typical" : "all";
}

void loadRules(BenchHost& host, const std::vector<Rule>& rules) {
  const qmxbench::RuleColumns columns = qmxbench::storedColumns(rules);
  host.setRuleColumns(columns.from, columns.to, columns.type);
  qmxbench::startPlugin(&IMessageProc, host);
}

// --- PCRE's match frames ------------------------------------------------------

// Match recursion takes its frames from pcre_stack_malloc (the heap, in this
// build of PCRE); counting them shows how much memory a deep match holds.
struct FrameCount {
  size_t current = 0;
  size_t peak = 0;
};
FrameCount g_frames;

void* countingStackMalloc(size_t size) {
  auto* block = static_cast<size_t*>(std::malloc(size + sizeof(max_align_t)));
  if (!block) return nullptr;
  block[0] = size;
  g_frames.current += size;
  if (g_frames.current > g_frames.peak) g_frames.peak = g_frames.current;
  return reinterpret_cast<char*>(block) + sizeof(max_align_t);
}

void countingStackFree(void* frame) {
  auto* block = reinterpret_cast<size_t*>(static_cast<char*>(frame) - sizeof(max_align_t));
  g_frames.current -= block[0];
  std::free(block);
}

class FrameCounting {
 public:
  FrameCounting() : malloc_(pcre_stack_malloc), free_(pcre_stack_free) {
    g_frames = FrameCount();
    pcre_stack_malloc = countingStackMalloc;
    pcre_stack_free = countingStackFree;
  }
  ~FrameCounting() {
    pcre_stack_malloc = malloc_;
    pcre_stack_free = free_;
  }
  FrameCounting(const FrameCounting&) = delete;
  FrameCounting& operator=(const FrameCounting&) = delete;

 private:
  void* (*malloc_)(size_t);
  void (*free_)(void*);
};

// --- the benchmarks -----------------------------------------------------------

void benchSubstitute(benchmark::State& state, const std::string& pattern,
                     const std::string& replacement) {
  const auto& base = ruleBase(100);
  const std::string text = qmxbench::makeMessage(200, base.rules, Mix::kTypical);
  for (auto _ : state) {
    // A fresh object each time, as a rule application makes one.
    RegexReplacer replacer;
    benchmark::DoNotOptimize(replacer.substitute(pattern, replacement, text, 0));
  }
}

// Times one word rule over `text`, with a host that answers the case option.
void timeWordRule(benchmark::State& state, const std::string& text, const Rule& rule) {
  BenchHost host;
  setHostControl(host.hostControl());
  for (auto _ : state) {
    std::string working = text;
    applyWordRule(working, rule.from, rule.to, caseSensitiveOption);
    benchmark::DoNotOptimize(working);
  }
  setHostControl(nullptr);
}

void benchWordRule(benchmark::State& state, size_t bytes, bool present) {
  const auto& base = ruleBase(100);
  const std::string text = qmxbench::makeMessage(bytes, base.rules, Mix::kTypical);
  // Rule 0's From is among the words the typical message holds; rule 1's is
  // not.
  const Rule& rule = base.rules[present ? 0 : 1];
  timeWordRule(state, text, rule);
  state.counters["present"] = static_cast<double>(qmxbench::literalsPresent(text, {rule}));
}

void benchPipeline(benchmark::State& state, size_t rules, size_t bytes, Mix mix) {
  const auto& base = ruleBase(rules);
  const std::string message = qmxbench::makeMessage(bytes, base.rules, mix);
  if (message.empty()) {
    state.SkipWithError("every From does not fit into a message of this size");
    return;
  }
  BenchHost host;
  loadRules(host, base.rules);
  for (auto _ : state) {
    if (qmxbench::sendMessage(&IMessageProc, message, "", kMsgOutgoing) != 2) {
      state.SkipWithError("the message was not corrected");
      break;
    }
  }
  qmxbench::sendCall(&IMessageProc, CALL_DEINIT);
  state.counters["present"] = static_cast<double>(qmxbench::literalsPresent(message, base.rules));
}

void benchFloor(benchmark::State& state, size_t rules, size_t bytes, Mix mix) {
  const auto& base = ruleBase(rules);
  const std::string message = qmxbench::makeMessage(bytes, base.rules, mix);
  for (auto _ : state) benchmark::DoNotOptimize(qmxbench::runFloor(base.floor, message));
  state.counters["present"] = static_cast<double>(qmxbench::literalsPresent(message, base.rules));
}

const Rule kSeparatorRule = {"kot", "pies", 0};
// The same word written as a pattern: it cannot take a literal road.
const Rule kSeparatorPatternRule = {"k.t", "pies", 0};

std::string separatorRun(size_t dots) {
  return std::string(dots, '.') + "kot";
}

void benchSeparatorRule(benchmark::State& state, size_t dots, const Rule& rule) {
  const std::string text = separatorRun(dots);
  timeWordRule(state, text, rule);
}

void benchSeparatorFloor(benchmark::State& state, size_t dots) {
  const std::string text = separatorRun(dots);
  const std::vector<FloorPattern> floor = qmxbench::floorPatterns({kSeparatorRule});
  for (auto _ : state) benchmark::DoNotOptimize(qmxbench::runFloor(floor, text));
}

// A stranger's message against a rule base whose user wrote patterns that
// backtrack without end on it; the rules after them must still apply.
std::vector<Rule> hostileRules() {
  std::vector<Rule> rules = {{"/(a|aa)*b/", "X", 1}, {"/(a+)+b/", "X", 1}, {"/(.*)*x/s", "Y", 1}};
  for (const Rule& rule : ruleBase(10).rules) rules.push_back(rule);
  rules.push_back({"kot", "pies", 0});
  rules.push_back({"/a$/", "Z", 1});
  return rules;
}

void benchHostile(benchmark::State& state, const std::string& message, char expectedLast) {
  BenchHost host;
  host.intColumns[kColumnIncoming] = 1;
  host.keepCopies = true;
  loadRules(host, hostileRules());
  FrameCounting counting;
  for (auto _ : state) {
    if (qmxbench::sendMessage(&IMessageProc, message, "", 0) != 2 || host.copyBody.empty() ||
        host.copyBody.back() != expectedLast) {
      state.SkipWithError("the later rules were not applied");
      break;
    }
  }
  qmxbench::sendCall(&IMessageProc, CALL_DEINIT);
  state.counters["frames_MB"] = static_cast<double>(g_frames.peak) / 1e6;
}

// One rule on a message built to hold the thread as long as it can: every
// substitution's steps are bounded, and word rules skip the starts inside
// runs of separators.
struct BoundedCase {
  const char* name;
  Rule rule;
  std::string message;
  double limitMs;
  // A word rule's message holds its word, which the rule replaces unless
  // its passes run out of steps first.
  bool wordReplaced = true;
};

std::string repeated(const std::string& piece, size_t size) {
  std::string text;
  while (text.size() < size) text += piece;
  text.resize(size);
  return text;
}

const std::vector<BoundedCase>& boundedCases() {
  static const std::vector<BoundedCase> cases = {
      {"bounded/backtracking_words:4.2KB",
       {"/(a+)+b|./", "x", 1},
       repeated(std::string(20, 'a') + " ", 4200),
       1000},
      {"bounded/word_rule_separators:320000",
       {"dzi.ki", "X", 0},
       "dzieki" + std::string(320000, '.') + "dzieki",
       2000},
      // Froms with a group, a class or alternatives skip the starts inside
      // the run as literal ones do.
      {"bounded/word_rule_group_separators:100000",
       {"(k)ot", "X", 0},
       std::string(100000, '.') + "kot a",
       100},
      {"bounded/word_rule_class_separators:100000",
       {"k[o\xf3]t", "X", 0},
       std::string(100000, '.') + "k\xf3t a",
       100},
      {"bounded/word_rule_alternatives_separators:100000",
       {"(?:kot|pies)", "X", 0},
       std::string(100000, '.') + "pies a",
       100},
      {"bounded/possessive_run:1MB", {"/[.]+x/", "X", 1}, std::string(1 << 20, '.'), 2000},
      {"bounded/written_possessive:1MB", {"/[.]++x/", "X", 1}, std::string(1 << 20, '.'), 1000},
      {"bounded/alternation_per_byte:1MB",
       {"/(?:a|b|c|d|e|f|g|h|i|j|k|l|m|n|o|p|q|r|s|t|u|v|w|y|z){3}x/", "X", 1},
       repeated("abcdefghij ", 1 << 20),
       1000},
      // Work that fails without moving forward, counted by the engine.
      {"bounded/caseless_backref:1MB",
       {"/(?=(.*)).*\\1/i", "X", 1},
       std::string(1 << 20, 'a'),
       1000},
      {"bounded/backref_into_run:1MB",
       {"/(?=(a*b)).*\\1/", "X", 1},
       std::string(1 << 19, 'a') + "b" + std::string(1 << 19, 'a'),
       1000},
      {"bounded/long_repeat_runs:1MB",
       {"/[ac]{65535}/", "X", 1},
       repeated(std::string(65534, 'a') + "b", 1 << 20),
       1000},
      {"bounded/long_repeat_alternation:1MB",
       {"/(?:" + repeated("[ac]{65535}|", 12 * 10 - 1) + ")/", "X", 1},
       repeated(std::string(65534, 'a') + "b", 1 << 20),
       1000},
      {"bounded/word_rule_backref:1MB",
       {"a(?=(.*)).*\\3", "X", 0},
       " " + std::string(1 << 20, 'a'),
       1000,
       // The engine's caseless compare runs to the text's end at every step
       // back of ".*": the budget stops it long before the match, so the
       // word stays.
       false},
      {"bounded/multiplying_template:1MB",
       {"/./s", repeated("$0", 20000), 1},
       repeated("abcdefghij ", 1 << 20),
       1000},
  };
  return cases;
}

void benchBounded(benchmark::State& state, const BoundedCase& c) {
  BenchHost host;
  setHostControl(host.hostControl());
  for (auto _ : state) {
    std::string text = c.message;
    if (c.rule.type == 0) {
      applyWordRule(text, c.rule.from, c.rule.to, caseSensitiveOption);
      if (c.wordReplaced && text == c.message) {
        state.SkipWithError("the word was not replaced");
        break;
      }
    } else {
      applyPerlRule(text, c.rule.from, c.rule.to);
    }
    benchmark::DoNotOptimize(text);
  }
  setHostControl(nullptr);
}

// --- the summary ----------------------------------------------------------------

// Prints the usual table and keeps every figure for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Figure figure;
      // CPU time: on a shared machine the wall clock also counts the time
      // other programs held the processor.
      figure.ms = run.cpu_accumulated_time * 1e3 / static_cast<double>(run.iterations);
      for (const auto& counter : run.counters) figure.counters[counter.first] = counter.second;
      // The bare name: the run's name also carries "/min_time:..." and the like.
      figures_[run.run_name.function_name] = figure;
    }
  }

  void printSummary() const;

 private:
  const Figure* find(const std::string& name) const {
    auto found = figures_.find(name);
    return found == figures_.end() ? nullptr : &found->second;
  }

  std::map<std::string, Figure> figures_;
};

const char* verdict(bool met) {
  return met ? "met" : "MISSED";
}

std::string pipelineName(const std::string& part, Mix mix, size_t rules, size_t bytes) {
  return part + "/" + mixName(mix) + "/rules:" + std::to_string(rules) +
         "/bytes:" + std::to_string(bytes);
}

void SummaryReporter::printSummary() const {
  std::printf("\nPipeline (correctMessage through IMessageProc) against its floor\n");
  std::printf("%-8s %6s %7s %8s %12s %12s %8s  %s\n", "mix", "rules", "bytes", "present",
              "pipeline ms", "floor ms", "ratio", "target");
  for (Mix mix : {Mix::kTypical, Mix::kAllPresent}) {
    for (size_t rules : kRuleCounts) {
      for (size_t bytes : kMessageSizes) {
        const Figure* pipeline = find(pipelineName("correctMessage", mix, rules, bytes));
        const Figure* floor = find(pipelineName("floor", mix, rules, bytes));
        if (!pipeline || !floor) continue;
        const double ratio = pipeline->ms / floor->ms;
        const bool typical = mix == Mix::kTypical;
        const bool met = typical ? ratio <= 0.1 : ratio <= 1.25;
        std::printf("%-8s %6zu %7zu %8.0f %12.4f %12.4f %8.3f  %s %s\n", mixName(mix).c_str(),
                    rules, bytes,
                    pipeline->counters.count("present") ? pipeline->counters.at("present") : 0.0,
                    pipeline->ms, floor->ms, ratio, typical ? "<= 0.10" : "<= 1.25", verdict(met));
      }
    }
  }

  std::printf("\nAbsolute targets (typical mix)\n");
  const struct {
    size_t rules, bytes;
    double limitMs;
  } absolute[] = {{100, 200, 0.2}, {100, 4096, 5.0}};
  for (const auto& target : absolute) {
    const Figure* figure =
        find(pipelineName("correctMessage", Mix::kTypical, target.rules, target.bytes));
    if (!figure) continue;
    std::printf("%4zu rules, %5zu bytes: %10.4f ms  (target < %.1f ms)  %s\n", target.rules,
                target.bytes, figure->ms, target.limitMs, verdict(figure->ms < target.limitMs));
  }

  std::printf("\nGrowth (typical mix; linear within 1.2x of the size ratio)\n");
  for (size_t bytes : kMessageSizes) {
    const Figure* hundred = find(pipelineName("correctMessage", Mix::kTypical, 100, bytes));
    const Figure* thousand = find(pipelineName("correctMessage", Mix::kTypical, 1000, bytes));
    if (!hundred || !thousand) continue;
    const double factor = thousand->ms / hundred->ms;
    std::printf("rules 100 -> 1000 at %5zu bytes: x%6.2f  (target <= x12)  %s\n", bytes, factor,
                verdict(factor <= 12.0));
  }
  for (size_t rules : kRuleCounts) {
    for (size_t i = 1; i + 1 < std::size(kMessageSizes); ++i) {
      const size_t small = kMessageSizes[i];
      const size_t large = kMessageSizes[i + 1];
      const Figure* a = find(pipelineName("correctMessage", Mix::kTypical, rules, small));
      const Figure* b = find(pipelineName("correctMessage", Mix::kTypical, rules, large));
      if (!a || !b) continue;
      const double factor = b->ms / a->ms;
      const double bound = 1.2 * static_cast<double>(large) / static_cast<double>(small);
      std::printf("bytes %5zu -> %5zu at %4zu rules: x%6.2f  (target <= x%.1f)  %s\n", small, large,
                  rules, factor, bound, verdict(factor <= bound));
    }
  }

  std::printf(
      "\nA word rule \"kot\" over N full stops then \"kot\" (\"k.t\": the same word as a "
      "pattern)\n");
  std::printf("%7s %12s %12s %8s %16s %14s\n", "N", "rule ms", "floor ms", "ratio",
              "growth (linear)", "\"k.t\" ms");
  const Figure* previous = nullptr;
  size_t previousDots = 0;
  for (size_t dots : kSeparatorRuns) {
    const Figure* rule = find("applyWordRule/separators:" + std::to_string(dots));
    const Figure* floor = find("floor/separators:" + std::to_string(dots));
    const Figure* pattern = find("applyWordRule/separators_pattern:" + std::to_string(dots));
    if (!rule || !floor) continue;
    std::printf("%7zu %12.3f %12.3f %8.3f", dots, rule->ms, floor->ms, rule->ms / floor->ms);
    if (previous) {
      std::printf("   x%6.2f (x%2.0f)", rule->ms / previous->ms,
                  static_cast<double>(dots) / static_cast<double>(previousDots));
    } else {
      std::printf("%17s", "");
    }
    if (pattern) std::printf(" %14.3f", pattern->ms);
    std::printf("\n");
    previous = rule;
    previousDots = dots;
  }

  std::printf("\nOne rule on a message made to hold the thread (target: about a second)\n");
  for (const BoundedCase& c : boundedCases()) {
    const Figure* figure = find(c.name);
    if (!figure) continue;
    std::printf("%-40s %10.1f ms  (target < %.0f ms)  %s\n", c.name, figure->ms, c.limitMs,
                verdict(figure->ms < c.limitMs));
  }

  std::printf("\nHostile incoming messages (catastrophic patterns first, later rules applied)\n");
  for (const auto& entry : figures_) {
    if (entry.first.rfind("hostile/", 0) != 0) continue;
    const auto frames = entry.second.counters.find("frames_MB");
    std::printf("%-28s %10.1f ms   PCRE match frames at peak: %8.1f MB\n", entry.first.c_str(),
                entry.second.ms, frames == entry.second.counters.end() ? 0.0 : frames->second);
  }

  qmxbench::printRuleFilterSummary([this](const std::string& name) { return find(name); });
}

void registerBenchmarks() {
  using benchmark::RegisterBenchmark;
  const std::string kotPass1 = wordRulePattern(0, "kot", false);
  const struct {
    const char* name;
    std::string pattern;
    const char* replacement;
  } substitutions[] = {
      {"substitute/word_pass1", kotPass1, "$2pies$3"},
      {"substitute/space_before_mark", "/ +([,.!?])/", "$1"},
      {"substitute/amount", "/(\\d+) ?zl\\b/i", "$1 z\xb3"},
      {"substitute/spaces", "/\\s{2,}/", " "},
  };
  for (const auto& s : substitutions) {
    RegisterBenchmark(s.name, benchSubstitute, s.pattern, std::string(s.replacement))
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(kMinTime);
  }
  for (size_t bytes : {size_t{200}, size_t{4096}}) {
    for (bool present : {true, false}) {
      const std::string name = std::string("applyWordRule/") + (present ? "present" : "absent") +
                               "/bytes:" + std::to_string(bytes);
      RegisterBenchmark(name.c_str(), benchWordRule, bytes, present)
          ->Unit(benchmark::kMicrosecond)
          ->MinTime(kMinTime);
    }
  }
  for (size_t rules : kRuleCounts) {
    for (size_t bytes : kMessageSizes) {
      RegisterBenchmark(pipelineName("correctMessage", Mix::kTypical, rules, bytes).c_str(),
                        benchPipeline, rules, bytes, Mix::kTypical)
          ->Unit(benchmark::kMillisecond)
          ->MinTime(kMinTime);
      RegisterBenchmark(pipelineName("floor", Mix::kTypical, rules, bytes).c_str(), benchFloor,
                        rules, bytes, Mix::kTypical)
          ->Unit(benchmark::kMillisecond)
          ->MinTime(kMinTime);
    }
  }
  for (const auto& [rules, bytes] : kAllPresentCases) {
    RegisterBenchmark(pipelineName("correctMessage", Mix::kAllPresent, rules, bytes).c_str(),
                      benchPipeline, rules, bytes, Mix::kAllPresent)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(pipelineName("floor", Mix::kAllPresent, rules, bytes).c_str(), benchFloor,
                      rules, bytes, Mix::kAllPresent)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
  }
  for (size_t dots : kSeparatorRuns) {
    RegisterBenchmark(("applyWordRule/separators:" + std::to_string(dots)).c_str(),
                      benchSeparatorRule, dots, kSeparatorRule)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(("applyWordRule/separators_pattern:" + std::to_string(dots)).c_str(),
                      benchSeparatorRule, dots, kSeparatorPatternRule)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(("floor/separators:" + std::to_string(dots)).c_str(), benchSeparatorFloor,
                      dots)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
  }

  for (const BoundedCase& c : boundedCases()) {
    RegisterBenchmark(c.name, benchBounded, c)->Unit(benchmark::kMillisecond)->Iterations(1);
  }

  const std::string letters256k(256 * 1024, 'a');
  const std::string letters1m(1024 * 1024, 'a');
  const std::string text1m =
      qmxbench::makeMessage(1024 * 1024 - 4, ruleBase(10).rules, Mix::kTypical) + " kot";
  RegisterBenchmark("hostile/letters:256KB", benchHostile, letters256k, 'Z')
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  RegisterBenchmark("hostile/letters:1MB", benchHostile, letters1m, 'Z')
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  RegisterBenchmark("hostile/text:1MB", benchHostile, text1m, 's')
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  registerBenchmarks();
  // Colour only on a terminal: the table also goes into files and logs.
  SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printSummary();
  benchmark::Shutdown();
  return 0;
}
