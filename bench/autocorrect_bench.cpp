// Benchmarks of a realistic autocorrect list (hundreds to thousands of word
// rules and a few Perl rules over short chat lines): today's road through
// IMessageProc, and the pieces that let a rule that cannot match cost
// nothing (the literal automaton, its presence answer kept across rewrites,
// the required literals of a pattern, the rule prefilter), with the rule
// loop as it would run with them.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/autocorrect_workload.h"
#include "bench/bench_host.h"
#include "correction/literal_presence.h"
#include "correction/rule_application.h"
#include "correction/rule_prefilter.h"
#include "regex/regex_replacer.h"
#include "regex/required_literals.h"
#include "rules/rule_columns.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/entry_point.h"
#include "shell/host_services.h"

using namespace qmx;

namespace {

using qmxbench::BenchHost;
using qmxbench::Rule;

constexpr size_t kWordRuleCounts[] = {500, 2000, 10000};
constexpr size_t kLineSizes[] = {40, 200};
constexpr size_t kScanSizes[] = {40, 200, 4096};
// Different lines in turn, as a chat sends them: one line over and over
// would measure one path through the rules only.
constexpr size_t kLines = 64;
constexpr double kMinTime = 0.3;

struct Base {
  std::vector<Rule> rules;
  RuleStore store;
  std::unique_ptr<RulePrefilter> prefilter;
};

// Made once per name: building the larger ones takes a while.
template <typename MakeRules>
const Base& cachedBase(const std::string& name, MakeRules makeRules) {
  static std::map<std::string, std::unique_ptr<Base>> bases;
  std::unique_ptr<Base>& base = bases[name];
  if (!base) {
    base = std::make_unique<Base>();
    base->rules = makeRules();
    for (const Rule& rule : base->rules) {
      base->store.From.push_back(rule.from);
      base->store.To.push_back(rule.to);
      base->store.Type.push_back(std::to_string(rule.type));
    }
    base->prefilter = std::make_unique<RulePrefilter>(base->store);
  }
  return *base;
}

const Base& autocorrectBase(size_t wordRules) {
  return cachedBase("autocorrect" + std::to_string(wordRules),
                    [wordRules] { return qmxbench::makeAutocorrectBase(wordRules); });
}

// The rule bases of the message benchmarks beside these.
const Base& messageBase(size_t rules) {
  return cachedBase("message" + std::to_string(rules),
                    [rules] { return qmxbench::makeRuleBase(rules); });
}

std::vector<std::string> chatLines(const Base& base, size_t bytes) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < kLines; ++i) lines.push_back(qmxbench::makeChatLine(bytes, base.rules, i));
  return lines;
}

std::string caseName(const char* part, size_t wordRules, size_t bytes) {
  return std::string(part) + "/rules:" + std::to_string(wordRules) +
         "/bytes:" + std::to_string(bytes);
}

// --- today's road ---------------------------------------------------------------

void benchTodaysRoad(benchmark::State& state, size_t wordRules, size_t bytes) {
  const Base& base = autocorrectBase(wordRules);
  const std::vector<std::string> lines = chatLines(base, bytes);
  BenchHost host;
  const qmxbench::RuleColumns columns = qmxbench::storedColumns(base.rules);
  host.setRuleColumns(columns.from, columns.to, columns.type);
  qmxbench::startPlugin(&IMessageProc, host);
  size_t line = 0;
  for (auto _ : state) {
    if (qmxbench::sendMessage(&IMessageProc, lines[line++ % kLines], "", MSG_OUTGOING) != 2) {
      state.SkipWithError("the message was not corrected");
      break;
    }
  }
  qmxbench::sendCall(&IMessageProc, CALL_DEINIT);
}

// --- the rule loop with the prefilter ---------------------------------------------

// The loop as the plug-in would run it: the same three case reads through
// the host per word rule, a rule the prefilter rules out passed over, the
// presence answer brought up to date after each rule that changed the text.
// The message's own work around the loop (copy, mark, log, host calls) is
// not in it.
std::string prefilteredRules(const std::string& message, const Base& base,
                             LiteralPresence& presence) {
  std::string text = message;
  presence.start(text);
  for (size_t i = 0; i < base.rules.size(); ++i) {
    const Rule& rule = base.rules[i];
    bool caseSensitive[kWordRulePasses] = {};
    if (rule.type == TYPE_WORD) {
      for (bool& answer : caseSensitive) answer = getConfigInt(kColumnCaseSensitive) != 0;
    }
    if (!base.prefilter->mayChange(i, caseSensitive, presence)) continue;
    const std::string before = text;
    if (rule.type == TYPE_WORD) {
      int pass = 0;
      applyWordRule(text, rule.from, rule.to, [&] { return caseSensitive[pass++]; });
    } else {
      applyPerlRule(text, rule.from, rule.to);
    }
    presence.update(before, text);
  }
  return text;
}

void timePrefilteredLoop(benchmark::State& state, const Base& base,
                         const std::vector<std::string>& lines) {
  BenchHost host;
  setHostControl(host.hostControl());
  LiteralPresence presence(base.prefilter->automaton());
  size_t line = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(prefilteredRules(lines[line++ % lines.size()], base, presence));
  }
  setHostControl(nullptr);
}

void benchPrefilteredLoop(benchmark::State& state, size_t wordRules, size_t bytes) {
  const Base& base = autocorrectBase(wordRules);
  timePrefilteredLoop(state, base, chatLines(base, bytes));
}

// The same as correctMessage/<mix>/rules:R/bytes:B measures today.
void benchPrefilteredMessages(benchmark::State& state, size_t rules, size_t bytes,
                              qmxbench::Mix mix) {
  const Base& base = messageBase(rules);
  timePrefilteredLoop(state, base, {qmxbench::makeMessage(bytes, base.rules, mix)});
}

// What a rule the prefilter rules out costs beyond its three case reads.
void benchRuledOut(benchmark::State& state, size_t wordRules) {
  const Base& base = autocorrectBase(wordRules);
  LiteralPresence presence(base.prefilter->automaton());
  presence.start(chatLines(base, 200)[0]);
  const bool caseSensitive[kWordRulePasses] = {};
  size_t mayChange = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < base.rules.size(); ++i) {
      mayChange += base.prefilter->mayChange(i, caseSensitive, presence);
    }
  }
  benchmark::DoNotOptimize(mayChange);
  state.counters["ns_per_rule"] =
      benchmark::Counter(static_cast<double>(state.iterations() * base.rules.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The three case reads of one word rule, through the host.
void benchCaseReads(benchmark::State& state) {
  BenchHost host;
  setHostControl(host.hostControl());
  int answers = 0;
  for (auto _ : state) {
    for (int pass = 0; pass < kWordRulePasses; ++pass) {
      answers += getConfigInt(kColumnCaseSensitive);
    }
  }
  benchmark::DoNotOptimize(answers);
  setHostControl(nullptr);
}

// --- the pieces -----------------------------------------------------------------

void benchPrefilterBuild(benchmark::State& state, size_t wordRules) {
  const Base& base = autocorrectBase(wordRules);
  size_t bytes = 0;
  size_t literals = 0;
  for (auto _ : state) {
    RulePrefilter prefilter(base.store);
    bytes = prefilter.memoryBytes();
    literals = prefilter.automaton().literalCount();
  }
  state.counters["memory_KB"] = static_cast<double>(bytes) / 1024.0;
  state.counters["literals"] = static_cast<double>(literals);
}

void benchPresenceStart(benchmark::State& state, size_t wordRules, size_t bytes) {
  const Base& base = autocorrectBase(wordRules);
  const std::vector<std::string> lines = chatLines(base, bytes);
  LiteralPresence presence(base.prefilter->automaton());
  size_t line = 0;
  for (auto _ : state) presence.start(lines[line++ % kLines]);
}

// One word of a line rewritten, as a word rule does, and back again; the
// figure is per update.
void benchPresenceUpdate(benchmark::State& state, size_t bytes, PresenceUpdate how) {
  const Base& base = autocorrectBase(10000);
  const std::string before = chatLines(base, bytes)[0];
  const size_t middle = before.find(' ', before.size() / 2);
  std::string after = before;
  after.replace(middle + 1, 4, "\xbf\xf3\xb3w");  // «zolw» becoming «żółw» is one such change
  LiteralPresence presence(base.prefilter->automaton());
  presence.start(before);
  for (auto _ : state) {
    presence.update(before, after, how);
    presence.update(after, before, how);
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
      RegisterBenchmark(caseName("correctMessage/autocorrect", rules, bytes).c_str(),
                        benchTodaysRoad, rules, bytes)
          ->Unit(benchmark::kMicrosecond)
          ->MinTime(kMinTime);
      RegisterBenchmark(caseName("prefilteredLoop/autocorrect", rules, bytes).c_str(),
                        benchPrefilteredLoop, rules, bytes)
          ->Unit(benchmark::kMicrosecond)
          ->MinTime(kMinTime);
    }
    RegisterBenchmark(("prefilter/build/rules:" + std::to_string(rules)).c_str(),
                      benchPrefilterBuild, rules)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
    RegisterBenchmark(("prefilter/ruledOut/rules:" + std::to_string(rules)).c_str(), benchRuledOut,
                      rules)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(kMinTime);
    for (size_t bytes : kScanSizes) {
      RegisterBenchmark(caseName("presence/start", rules, bytes).c_str(), benchPresenceStart, rules,
                        bytes)
          ->Unit(benchmark::kMicrosecond)
          ->MinTime(kMinTime);
    }
  }
  const struct {
    const char* mix;
    qmxbench::Mix value;
    size_t rules, bytes;
  } messageCases[] = {{"typical", qmxbench::Mix::Typical, 100, 4096},
                      {"typical", qmxbench::Mix::Typical, 1000, 200},
                      {"all", qmxbench::Mix::AllPresent, 10, 200},
                      {"all", qmxbench::Mix::AllPresent, 100, 4096},
                      {"all", qmxbench::Mix::AllPresent, 1000, 65536}};
  for (const auto& c : messageCases) {
    RegisterBenchmark(
        caseName((std::string("prefilteredLoop/") + c.mix).c_str(), c.rules, c.bytes).c_str(),
        benchPrefilteredMessages, c.rules, c.bytes, c.value)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTime);
  }
  RegisterBenchmark("prefilter/caseReads", benchCaseReads)->MinTime(kMinTime);
  for (size_t bytes : kScanSizes) {
    RegisterBenchmark(("presence/update/window/bytes:" + std::to_string(bytes)).c_str(),
                      benchPresenceUpdate, bytes, PresenceUpdate::Window)
        ->MinTime(kMinTime);
    RegisterBenchmark(("presence/update/rescan/bytes:" + std::to_string(bytes)).c_str(),
                      benchPresenceUpdate, bytes, PresenceUpdate::Rescan)
        ->MinTime(kMinTime);
    RegisterBenchmark(("presence/update/cheaper/bytes:" + std::to_string(bytes)).c_str(),
                      benchPresenceUpdate, bytes, PresenceUpdate::Cheaper)
        ->MinTime(kMinTime);
  }
  const struct {
    const char* name;
    std::string pattern;
  } patterns[] = {
      {"requiredLiterals/word_pass1_dotted", wordRulePattern(1, "m.in.", false)},
      {"requiredLiterals/perl_amount", "/(\\d+) ?zl\\b/i"},
      {"requiredLiterals/perl_inflection", "/\\bzolw(a|y|e|ie)\\b/i"},
      {"requiredLiterals/perl_gives_up", "/kot(?=a)/"},
  };
  for (const auto& p : patterns) {
    RegisterBenchmark(p.name, benchRequiredLiterals, p.pattern)->MinTime(kMinTime);
  }
  return true;
}();

}  // namespace
