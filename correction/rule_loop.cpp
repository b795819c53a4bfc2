#include "correction/rule_loop.h"

#include "correction/literal_presence.h"
#include "correction/literal_word_rule.h"
#include "correction/prepared_rules.h"
#include "correction/test_switches.h"
#include "regex/compiled_patterns.h"
#include "regex/regex_replacer.h"

namespace qmx {

namespace {

// The rules from `first` on, each copied and run in full.
void applyRulesFrom(size_t first, const RuleStore& rules, std::string& text,
                    CaseSource caseSensitive, const RuleObserver& observer) {
  for (size_t i = first; i < rules.From.size(); ++i) {
    const std::string from = rules.From.at(i);
    const std::string to = rules.To.at(i);
    const RuleKind kind = ruleKind(rules.Type.at(i));
    if (kind == RuleKind::kInert) continue;
    // The copy is made only for an observer: the plug-in runs without one.
    const std::string before = observer ? text : std::string();
    if (kind == RuleKind::kWord) {
      applyWordRule(text, from, to, caseSensitive);
    } else {
      applyPerlRule(text, from, to);
    }
    if (observer) observer(i, before, text);
  }
}

}  // namespace

void walkRules(const RuleStore& rules, const RuleVisitor& visit) {
  for (size_t i = 0; i < rules.From.size(); ++i) {
    const std::string from = rules.From.at(i);
    const std::string to = rules.To.at(i);
    visit(i, ruleKind(rules.Type.at(i)), from, to);
  }
}

void applyRules(const RuleStore& rules, std::string& text, CaseSource caseSensitive,
                const RuleObserver& observer) {
  applyRulesFrom(0, rules, text, caseSensitive, observer);
}

struct RuleLoop::Kept {
  explicit Kept(const RuleStore& rules)
      : prepared(rules), presence(prepared.prefilter().automaton()) {}

  PreparedRules prepared;
  CompiledPatterns patterns;
  RegexReplacer replacer{&patterns};
  LiteralPresence presence;
  // The text before the rule that runs, kept to spare an allocation a rule.
  std::string before;
};

void setRuleLoopFilters(RuleLoop& loop, RuleFilters filters) {
  loop.filters_ = filters;
}

RuleLoop::RuleLoop() = default;
RuleLoop::~RuleLoop() = default;

void RuleLoop::release() {
  if (running_) {
    releasePending_ = true;
    return;
  }
  kept_.reset();
}

size_t RuleLoop::keptBytes() const {
  return kept_ ? kept_->prepared.memoryBytes() + kept_->patterns.compiledBytes() : 0;
}

RuleLoop::Kept& RuleLoop::keptFor(const RuleStore& rules) {
  if (!kept_ || kept_->prepared.revision() != rules.revision) {
    // The old rule base's patterns go before the new one is prepared.
    kept_.reset();
    kept_ = std::make_unique<Kept>(rules);
  }
  return *kept_;
}

void RuleLoop::apply(const RuleStore& rules, std::string& text, CaseSource caseSensitive,
                     const RuleObserver& observer) {
  // A message corrected while another is (from inside a configuration
  // read) takes the road that keeps nothing.
  if (filters_ == RuleFilters::kOff || running_) {
    applyRules(rules, text, caseSensitive, observer);
    return;
  }
  struct Running {
    RuleLoop& loop;
    explicit Running(RuleLoop& l) : loop(l) { loop.running_ = true; }
    ~Running() {
      loop.running_ = false;
      if (loop.releasePending_) {
        loop.releasePending_ = false;
        loop.kept_.reset();
      }
    }
  } running(*this);
  Kept& kept = keptFor(rules);
  const RulePrefilter& prefilter = kept.prepared.prefilter();
  kept.presence.start(text);
  size_t i = 0;
  // While the revision holds, rule i of the store is the prepared rule i,
  // as it stood before the rule asked for the case option: a host that
  // changes the rules meanwhile sees the rule run as it was read.
  for (; i < rules.From.size() && rules.revision == kept.prepared.revision(); ++i) {
    const PreparedRule& rule = kept.prepared[i];
    if (rule.kind == RuleKind::kInert) continue;
    const PassCases cases = rule.kind == RuleKind::kWord ? PassCases::ask(caseSensitive)
                                                         : PassCases(false, false, false);
    if (!prefilter.mayChange(rule.needs, cases, kept.presence)) continue;
    // A caseless look finds every place an exact one would.
    if (rule.road.checkedAsWord && !occursAsWord(text, rule.from, cases.allSensitive())) continue;
    kept.before = text;
    if (rule.kind == RuleKind::kPerl) {
      runPerlRule(text, rule.from, rule.to, kept.replacer);
    } else {
      runWordRule(text, rule.from, rule.to, cases, rule.road, kept.replacer);
    }
    kept.presence.update(kept.before, text);
    if (observer) observer(i, kept.before, text);
  }
  // The rules changed under the walk: the rest runs from the store as it
  // is now, every rule in full.
  applyRulesFrom(i, rules, text, caseSensitive, observer);
}

}  // namespace qmx
