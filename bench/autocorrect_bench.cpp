// Benchmarks of the rule loop's filters: a realistic autocorrect list
// (hundreds to thousands of word rules and a few Perl rules over chat lines)
// and the message benchmarks' rule bases, each through IMessageProc on
// today's road (every rule run in full, setRuleFilters(Off)) and on the
// filtered one, in the same run; what a rule passed over costs; preparing a
// rule base; and the pieces (one scan of a message, keeping its answer
// exact after a rewrite, the required literals of a pattern).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/autocorrect_workload.h"
#include "bench/bench_host.h"
#include "bench/bench_summary.h"
#include "bench/workload.h"
#include "correction/case_option.h"
#include "correction/correct_message.h"
#include "correction/literal_presence.h"
#include "correction/prepared_rules.h"
#include "correction/rule_loop.h"
#include "correction/test_switches.h"
#include "regex/regex_replacer.h"
#include "regex/required_literals.h"
#include "rules/rule_columns.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/entry_point.h"
#include "shell/host_control.h"
#include "shell/host_services.h"

using namespace qmx;

namespace qmxbench {

namespace {

constexpr size_t kWordRuleCounts[] = {500, 2000, 10000};
// A rule base far past any user's, for the preparation alone: it must stay
// linear in the rules.
constexpr size_t kLargeRuleBase = 100000;
constexpr size_t kMadeWordRules = 10000;
constexpr size_t kLineSizes[] = {20, 40, 200};
constexpr size_t kScanSizes[] = {40, 200, 4096};
// Different lines in turn, as a chat sends them: one line over and over
// would measure one path through the rules only.
constexpr size_t kLines = 64;
constexpr double kMinTime = 0.3;

// The message benchmarks' cases the filters' targets name, on both roads:
// typical ones under a time, every From present within 1.1 x today's road;
// and the two whose ratio the growth target of the summary above watches.
struct MessageCase {
  Mix mix;
  size_t rules;
  size_t bytes;
  double limitMs;  // 0: no target of its own
};
constexpr MessageCase kMessageCases[] = {
    {Mix::kTypical, 100, 4096, 0.2},    {Mix::kTypical, 1000, 200, 0.05},
    {Mix::kAllPresent, 10, 200, 0},     {Mix::kAllPresent, 100, 4096, 0},
    {Mix::kAllPresent, 1000, 65536, 0}, {Mix::kTypical, 10, 4096, 0},
    {Mix::kTypical, 10, 65536, 0}};

struct Base {
  std::vector<Rule> rules;
  RuleStore store;
};

RuleStore storeOf(const std::vector<Rule>& rules) {
  RuleStore store;
  for (const Rule& rule : rules) {
    store.From.push_back(rule.from);
    store.To.push_back(rule.to);
    store.Type.push_back(std::to_string(rule.type));
  }
  return store;
}

// Made once per size: the larger lists take a while to make.
const Base& autocorrectBase(size_t wordRules) {
  static std::map<size_t, std::unique_ptr<Base>> bases;
  std::unique_ptr<Base>& base = bases[wordRules];
  if (!base) {
    base = std::make_unique<Base>();
    if (wordRules <= kMadeWordRules) {
      base->rules = makeAutocorrectBase(wordRules);
    } else {
      // Past that the made-up words run short: numbered copies of the
      // largest list, the same mix of rules.
      const std::vector<Rule>& made = autocorrectBase(kMadeWordRules).rules;
      for (size_t copy = 0; base->rules.size() < wordRules; ++copy) {
        for (Rule rule : made) {
          if (rule.type == 0 && copy > 0) rule.from += std::to_string(copy);
          base->rules.push_back(std::move(rule));
        }
      }
    }
    base->store = storeOf(base->rules);
  }
  return *base;
}

std::vector<std::string> chatLines(const Base& base, size_t bytes) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < kLines; ++i) lines.push_back(makeChatLine(bytes, base.rules, i));
  return lines;
}

const char* roadName(RuleFilters filters) {
  return filters == RuleFilters::kOn ? "filtered" : "today";
}

std::string autocorrectName(size_t wordRules, size_t bytes, RuleFilters filters) {
  return "correctMessage/autocorrect/rules:" + std::to_string(wordRules) +
         "/bytes:" + std::to_string(bytes) + "/road:" + roadName(filters);
}

std::string messageName(const MessageCase& c, RuleFilters filters) {
  return std::string("correctMessage/") + (c.mix == Mix::kTypical ? "typical" : "all") +
         "/rules:" + std::to_string(c.rules) + "/bytes:" + std::to_string(c.bytes) +
         "/road:" + roadName(filters);
}

// Messages through IMessageProc, as the other message benchmarks send them,
// on one road.
void timeMessages(benchmark::State& state, const std::vector<Rule>& rules,
                  const std::vector<std::string>& messages, RuleFilters filters) {
  BenchHost host;
  const RuleColumns columns = storedColumns(rules);
  host.setRuleColumns(columns.from, columns.to, columns.type);
  startPlugin(&IMessageProc, host);
  setRuleFilters(filters);
  size_t next = 0;
  for (auto _ : state) {
    if (sendMessage(&IMessageProc, messages[next++ % messages.size()], "", kMsgOutgoing) != 2) {
      state.SkipWithError("the message was not corrected");
      break;
    }
  }
  setRuleFilters(RuleFilters::kOn);
  sendCall(&IMessageProc, CALL_DEINIT);
}

void benchAutocorrect(benchmark::State& state, size_t wordRules, size_t bytes,
                      RuleFilters filters) {
  const Base& base = autocorrectBase(wordRules);
  timeMessages(state, base.rules, chatLines(base, bytes), filters);
}

void benchMessageCase(benchmark::State& state, MessageCase c, RuleFilters filters) {
  const std::vector<Rule> rules = makeRuleBase(c.rules);
  timeMessages(state, rules, {makeMessage(c.bytes, rules, c.mix)}, filters);
}

// --- what a rule passed over costs --------------------------------------------

// The autocorrect list's word rules over a line none of them finds: every
// rule asks the case option three times and is passed over. Per rule.
void benchPassedOver(benchmark::State& state, size_t wordRules) {
  std::vector<Rule> words;
  for (const Rule& rule : autocorrectBase(wordRules).rules) {
    if (rule.type == 0) words.push_back(rule);
  }
  const RuleStore store = storeOf(words);
  const std::string line = "qqq qqq qqq qqq qqq qqq qqq qqq qqq qqq.";
  BenchHost host;
  setHostControl(host.hostControl());
  RuleLoop loop;
  std::string text;
  for (auto _ : state) {
    text = line;
    loop.apply(store, text, caseSensitiveOption);
  }
  setHostControl(nullptr);
  if (text != line) state.SkipWithError("a rule found something");
  state.counters["time_per_rule"] =
      benchmark::Counter(static_cast<double>(state.iterations() * words.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The three case reads of one word rule, through the host, as the loop
// makes them.
void benchCaseReads(benchmark::State& state) {
  BenchHost host;
  setHostControl(host.hostControl());
  const std::function<bool()> caseSensitive = caseSensitiveOption;
  int answers = 0;
  for (auto _ : state) {
    for (int pass = 0; pass < kWordRulePasses; ++pass) answers += caseSensitive();
  }
  benchmark::DoNotOptimize(answers);
  setHostControl(nullptr);
}

// What every message costs at least: the case option read three times for
// each word rule, as the bare host operation, without the plug-in's code
// around it. A message the rule loop corrects is held to a small multiple of
// it.
void benchReadsFloor(benchmark::State& state, size_t wordRules) {
  size_t reads = 0;
  for (const Rule& rule : autocorrectBase(wordRules).rules) reads += rule.type == 0 ? 3 : 0;
  BenchHost host;
  HostControl* control = host.hostControl();
  const auto read = reinterpret_cast<ConfigOp>(control->operations[kHostOpReadConfig]);
  for (auto _ : state) {
    for (size_t i = 0; i < reads; ++i) {
      ConfigValue value{};
      value.type = kConfigInt;
      read(control, 0, 0, kColumnCaseSensitive, &value);
      benchmark::DoNotOptimize(value.value);
    }
  }
}

// --- preparing a rule base ------------------------------------------------------

void benchPrepare(benchmark::State& state, size_t wordRules) {
  const Base& base = autocorrectBase(wordRules);
  size_t bytes = 0;
  size_t literals = 0;
  for (auto _ : state) {
    const PreparedRules prepared(base.store);
    bytes = prepared.memoryBytes();
    literals = prepared.prefilter().automaton().literalCount();
  }
  state.counters["memory_KB"] = static_cast<double>(bytes) / 1024.0;
  state.counters["literals"] = static_cast<double>(literals);
}

// A reload through the entry point (the columns read and split) and the
// first message after it, which prepares the rule base: what a user who
// changes a large list waits for.
void benchReload(benchmark::State& state, size_t wordRules) {
  const Base& base = autocorrectBase(wordRules);
  const std::string line = chatLines(base, 40)[0];
  BenchHost host;
  const RuleColumns columns = storedColumns(base.rules);
  host.setRuleColumns(columns.from, columns.to, columns.type);
  sendCall(&IMessageProc, CALL_INIT, host.address());
  for (auto _ : state) {
    sendCall(&IMessageProc, CALL_START);
    sendMessage(&IMessageProc, line, "", kMsgOutgoing);
  }
  sendCall(&IMessageProc, CALL_DEINIT);
}

// What the loop keeps between messages once every line went through it:
// the prepared rule base and the patterns its rules compiled.
void benchKept(benchmark::State& state, size_t wordRules) {
  const Base& base = autocorrectBase(wordRules);
  const std::vector<std::string> lines = chatLines(base, 200);
  BenchHost host;
  setHostControl(host.hostControl());
  RuleLoop loop;
  size_t prepared = 0;
  for (auto _ : state) {
    for (const std::string& line : lines) {
      std::string text = line;
      loop.apply(base.store, text, caseSensitiveOption);
    }
    prepared = PreparedRules(base.store).memoryBytes();
  }
  setHostControl(nullptr);
  state.counters["kept_KB"] = static_cast<double>(loop.keptBytes()) / 1024.0;
  state.counters["compiled_KB"] = static_cast<double>(loop.keptBytes() - prepared) / 1024.0;
}

// --- the pieces -----------------------------------------------------------------

void benchPresenceStart(benchmark::State& state, size_t wordRules, size_t bytes) {
  const Base& base = autocorrectBase(wordRules);
  const PreparedRules prepared(base.store);
  const std::vector<std::string> lines = chatLines(base, bytes);
  LiteralPresence presence(prepared.prefilter().automaton());
  size_t line = 0;
  for (auto _ : state) presence.start(lines[line++ % kLines]);
}

// One word of a line rewritten, as a word rule does, and back again; the
// figure is per update.
void benchPresenceUpdate(benchmark::State& state, size_t bytes, PresenceUpdate how) {
  const Base& base = autocorrectBase(10000);
  const PreparedRules prepared(base.store);
  const std::string before = chatLines(base, bytes)[0];
  const size_t middle = before.find(' ', before.size() / 2);
  std::string after = before;
  after.replace(middle + 1, 4, "\xbf\xf3\xb3w");  // «zolw» becoming «żółw» is one such change
  LiteralPresence presence(prepared.prefilter().automaton());
  presence.start(before);
  for (auto _ : state) {
    updatePresence(presence, before, after, how);
    updatePresence(presence, after, before, how);
  }
  state.SetItemsProcessed(2 * state.iterations());
}

void benchRequiredLiterals(benchmark::State& state, const std::string& pattern) {
  RegexReplacer parser;
  parser.setPattern(pattern);
  for (auto _ : state) {
    benchmark::DoNotOptimize(requiredLiterals(parser.expression(), parser.options()));
  }
}

const bool registered = [] {
  using benchmark::RegisterBenchmark;
  for (size_t rules : kWordRuleCounts) {
    for (size_t bytes : kLineSizes) {
      for (RuleFilters filters : {RuleFilters::kOff, RuleFilters::kOn}) {
        RegisterBenchmark(autocorrectName(rules, bytes, filters).c_str(), benchAutocorrect, rules,
                          bytes, filters)
            ->Unit(benchmark::kMicrosecond)
            ->MinTime(kMinTime);
      }
    }
    const std::string size = std::to_string(rules);
    RegisterBenchmark(("ruleLoop/readsFloor/rules:" + size).c_str(), benchReadsFloor, rules)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(("ruleLoop/passedOver/rules:" + size).c_str(), benchPassedOver, rules)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(("ruleLoop/prepare/rules:" + size).c_str(), benchPrepare, rules)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(("ruleLoop/reload/rules:" + size).c_str(), benchReload, rules)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(("ruleLoop/kept/rules:" + size).c_str(), benchKept, rules)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    for (size_t bytes : kScanSizes) {
      RegisterBenchmark(
          ("presence/start/rules:" + size + "/bytes:" + std::to_string(bytes)).c_str(),
          benchPresenceStart, rules, bytes)
          ->Unit(benchmark::kMicrosecond)
          ->MinTime(kMinTime);
    }
  }
  const std::string large = std::to_string(kLargeRuleBase);
  RegisterBenchmark(("ruleLoop/prepare/rules:" + large).c_str(), benchPrepare, kLargeRuleBase)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(kMinTime);
  RegisterBenchmark(("ruleLoop/reload/rules:" + large).c_str(), benchReload, kLargeRuleBase)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(kMinTime);
  for (const MessageCase& c : kMessageCases) {
    for (RuleFilters filters : {RuleFilters::kOff, RuleFilters::kOn}) {
      RegisterBenchmark(messageName(c, filters).c_str(), benchMessageCase, c, filters)
          ->Unit(benchmark::kMillisecond)
          ->MinTime(kMinTime);
    }
  }
  RegisterBenchmark("ruleLoop/caseReads", benchCaseReads)->MinTime(kMinTime);
  for (size_t bytes : kScanSizes) {
    const std::string size = std::to_string(bytes);
    RegisterBenchmark(("presence/update/window/bytes:" + size).c_str(), benchPresenceUpdate, bytes,
                      PresenceUpdate::kWindow)
        ->MinTime(kMinTime);
    RegisterBenchmark(("presence/update/rescan/bytes:" + size).c_str(), benchPresenceUpdate, bytes,
                      PresenceUpdate::kRescan)
        ->MinTime(kMinTime);
    RegisterBenchmark(("presence/update/cheaper/bytes:" + size).c_str(), benchPresenceUpdate, bytes,
                      PresenceUpdate::kCheaper)
        ->MinTime(kMinTime);
  }
  const struct {
    const char* name;
    std::string pattern;
  } patterns[] = {
      {"requiredLiterals/word_pass1_dotted", wordRulePattern(0, "m.in.", false)},
      {"requiredLiterals/perl_amount", "/(\\d+) ?zl\\b/i"},
      {"requiredLiterals/perl_inflection", "/\\bzolw(a|y|e|ie)\\b/i"},
      {"requiredLiterals/perl_gives_up", "/kot(?=a)/"},
  };
  for (const auto& p : patterns) {
    RegisterBenchmark(p.name, benchRequiredLiterals, p.pattern)->MinTime(kMinTime);
  }
  return true;
}();

const char* verdict(bool met) {
  return met ? "met" : "MISSED";
}

}  // namespace

void printRuleFilterSummary(const FigureLookup& find) {
  std::printf("\nThe rule filters: today's road against the filtered one, CPU us per message\n");
  std::printf("%-12s %6s %6s %12s %12s %8s  %s\n", "base", "rules", "bytes", "today", "filtered",
              "today/x", "target");
  for (size_t rules : kWordRuleCounts) {
    for (size_t bytes : kLineSizes) {
      const Figure* today = find(autocorrectName(rules, bytes, RuleFilters::kOff));
      const Figure* filtered = find(autocorrectName(rules, bytes, RuleFilters::kOn));
      if (!today || !filtered) continue;
      const double us = filtered->ms * 1e3;
      std::string target;
      if (rules == 500 && bytes == 40) target = std::string("<= 30 us ") + verdict(us <= 30);
      if (rules == 10000 && bytes == 200) target = std::string("<= 1000 us ") + verdict(us <= 1000);
      std::printf("%-12s %6zu %6zu %12.1f %12.1f %8.1f  %s\n", "autocorrect", rules, bytes,
                  today->ms * 1e3, us, today->ms / filtered->ms, target.c_str());
    }
  }
  for (const MessageCase& c : kMessageCases) {
    const Figure* today = find(messageName(c, RuleFilters::kOff));
    const Figure* filtered = find(messageName(c, RuleFilters::kOn));
    if (!today || !filtered) continue;
    const double ratio = filtered->ms / today->ms;
    std::string target;
    if (c.mix == Mix::kAllPresent) {
      target = std::string("filtered <= 1.1 x today: ") + verdict(ratio <= 1.1);
    } else if (c.limitMs > 0) {
      char text[64];
      std::snprintf(text, sizeof text, "<= %.2f ms ", c.limitMs);
      target = text + std::string(verdict(filtered->ms <= c.limitMs));
    }
    std::printf("%-12s %6zu %6zu %12.1f %12.1f %8.2f  %s\n",
                c.mix == Mix::kTypical ? "typical" : "all", c.rules, c.bytes, today->ms * 1e3,
                filtered->ms * 1e3, today->ms / filtered->ms, target.c_str());
  }

  const Figure* reads = find("ruleLoop/caseReads");
  std::printf("\nA rule passed over, beyond its three case reads (%.1f ns), target <= 20 ns\n",
              reads ? reads->ms * 1e6 : 0.0);
  for (size_t rules : kWordRuleCounts) {
    const std::string size = std::to_string(rules);
    const Figure* passed = find("ruleLoop/passedOver/rules:" + size);
    if (!passed || !reads || !passed->counters.count("time_per_rule")) continue;
    // The counter is a time in seconds.
    const double perRule = passed->counters.at("time_per_rule") * 1e9;
    const double beyond = perRule - reads->ms * 1e6;
    std::printf("%6zu rules: %6.1f ns a rule, %6.1f ns beyond the reads  %s\n", rules, perRule,
                beyond, verdict(beyond <= 20));
  }

  std::printf(
      "\nA message against the bare case reads every message makes (3 a word rule), CPU us; "
      "target <= 2 x\n");
  for (size_t rules : kWordRuleCounts) {
    const Figure* floor = find("ruleLoop/readsFloor/rules:" + std::to_string(rules));
    if (!floor) continue;
    for (size_t bytes : kLineSizes) {
      const Figure* message = find(autocorrectName(rules, bytes, RuleFilters::kOn));
      if (!message) continue;
      const double ratio = message->ms / floor->ms;
      std::printf("%6zu rules %4zu bytes: message %8.1f, floor %8.1f, %5.2f x  %s\n", rules, bytes,
                  message->ms * 1e3, floor->ms * 1e3, ratio,
                  rules == 500 && bytes <= 40 ? verdict(ratio <= 2) : "");
    }
  }

  std::printf(
      "\nPreparing a rule base (targets: 10,000 rules <= 50 ms; 100,000 rules, reload and first "
      "message <= 200 ms)\n");
  for (size_t rules :
       {kWordRuleCounts[0], kWordRuleCounts[1], kWordRuleCounts[2], kLargeRuleBase}) {
    const std::string size = std::to_string(rules);
    const Figure* prepare = find("ruleLoop/prepare/rules:" + size);
    const Figure* reload = find("ruleLoop/reload/rules:" + size);
    const Figure* kept = find("ruleLoop/kept/rules:" + size);
    if (!prepare) continue;
    std::printf("%6zu rules: prepare %7.2f ms, %8.0f KB, %6.0f literals", rules, prepare->ms,
                prepare->counters.count("memory_KB") ? prepare->counters.at("memory_KB") : 0.0,
                prepare->counters.count("literals") ? prepare->counters.at("literals") : 0.0);
    if (reload) std::printf("; reload and first message %7.2f ms", reload->ms);
    if (kept && kept->counters.count("compiled_KB")) {
      std::printf("; compiled patterns kept %6.0f KB", kept->counters.at("compiled_KB"));
    }
    const bool met = rules == 10000            ? prepare->ms <= 50 && (!reload || reload->ms <= 50)
                     : rules == kLargeRuleBase ? !reload || reload->ms <= 200
                                               : true;
    std::printf("  %s\n", verdict(met));
  }
}

}  // namespace qmxbench
