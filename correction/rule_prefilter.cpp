#include "correction/rule_prefilter.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "correction/prepared_rules.h"
#include "correction/rule_application.h"
#include "regex/pattern_text.h"
#include "regex/required_literals.h"

namespace qmx {

namespace {

using Literals = std::optional<std::vector<RequiredLiteral>>;

// Numbers the distinct literals of a rule base, in the order first met.
class LiteralTable {
 public:
  // Room for `expected` literals up front: growing a table of a hundred
  // thousand strings step by step costs more than filling it.
  explicit LiteralTable(size_t expected) {
    ids_.reserve(expected);
    all_.reserve(expected);
  }

  LiteralAutomaton::Id idOf(const RequiredLiteral& literal) {
    std::string key = literal.bytes;
    key += literal.caseless ? 'i' : 'e';
    const auto found = ids_.emplace(std::move(key), static_cast<LiteralAutomaton::Id>(all_.size()));
    if (found.second) all_.push_back({literal.bytes, literal.caseless});
    return found.first->second;
  }
  const std::vector<SearchLiteral>& all() const { return all_; }

 private:
  std::unordered_map<std::string, LiteralAutomaton::Id> ids_;
  std::vector<SearchLiteral> all_;
};

// Any of the literals a delimited pattern's matches need.
Literals patternNeeds(const std::string& pattern, const LiteralAnalysis& analyse) {
  const PatternText text = parsePatternText(pattern);
  return analyse(text.expression, text.options);
}

// A match of any of the three passes needs one of these.
Literals wordRuleNeeds(const PreparedRule& rule, bool caseSensitive,
                       const LiteralAnalysis& analyse) {
  if (rule.road.literal) return std::vector<RequiredLiteral>{{rule.from, !caseSensitive}};
  // What From alone needs, when the passes hold it whole: one short
  // expression to read instead of three patterns.
  if (rule.road.separatorStarts) {
    return analyse(rule.from, caseSensitive ? 0u : static_cast<uint32_t>(PCRE_CASELESS));
  }
  std::vector<RequiredLiteral> all;
  for (int pass = 0; pass < kWordRulePasses; ++pass) {
    Literals needs = patternNeeds(wordRulePattern(pass, rule.from, caseSensitive), analyse);
    if (!needs) return std::nullopt;
    all.insert(all.end(), needs->begin(), needs->end());
  }
  return all;
}

}  // namespace

RulePrefilter::RulePrefilter(std::vector<PreparedRule>& rules, const LiteralAnalysis& analyse) {
  // Most rules are word rules with one literal in each case.
  const size_t expected = 2 * rules.size();
  LiteralTable table(expected);
  ids_.reserve(expected);
  // A rule whose analysis fails (out of memory, say) is never passed over;
  // the others keep their needs, and the failure is kept with the rest
  // rather than met again at the next message.
  auto record = [&](const auto& literalsOf) {
    Needs needs;
    try {
      const Literals literals = literalsOf();
      if (!literals) return needs;
      const uint32_t begin = static_cast<uint32_t>(ids_.size());
      for (const RequiredLiteral& literal : *literals) ids_.push_back(table.idOf(literal));
      needs.begin = begin;
      needs.count = static_cast<uint32_t>(ids_.size()) - begin;
    } catch (...) {
      needs = Needs();
    }
    return needs;
  };
  for (PreparedRule& rule : rules) {
    if (rule.kind == RuleKind::kWord) {
      rule.needs.folded = record([&] { return wordRuleNeeds(rule, false, analyse); });
      rule.needs.exact = record([&] { return wordRuleNeeds(rule, true, analyse); });
    } else if (rule.kind == RuleKind::kPerl) {
      rule.needs.folded = rule.needs.exact =
          record([&] { return patternNeeds(rule.from, analyse); });
    }
  }
  automaton_ = LiteralAutomaton(table.all());
}

size_t RulePrefilter::memoryBytes() const {
  return ids_.capacity() * sizeof(LiteralAutomaton::Id) + automaton_.memoryBytes();
}

}  // namespace qmx
