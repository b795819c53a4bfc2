#include "correction/rule_prefilter.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "correction/literal_word_rule.h"
#include "correction/rule_application.h"
#include "regex/regex_replacer.h"
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
Literals patternNeeds(RegexReplacer& parser, const std::string& pattern,
                      const LiteralAnalysis& analyse) {
  parser.setPattern(pattern);
  return analyse(parser.expression(), parser.options());
}

// A match of any of the three passes needs one of these.
Literals wordRuleNeeds(RegexReplacer& parser, const std::string& from, bool caseSensitive,
                       const LiteralAnalysis& analyse) {
  if (isPlainLiteral(from)) return std::vector<RequiredLiteral>{{from, !caseSensitive}};
  // What From alone needs, when the passes hold it whole: one short
  // expression to read instead of three patterns.
  if (leavesWordPatternAlone(from)) {
    return analyse(from, caseSensitive ? 0u : static_cast<uint32_t>(PCRE_CASELESS));
  }
  std::vector<RequiredLiteral> all;
  for (int pass = 1; pass <= kWordRulePasses; ++pass) {
    Literals needs = patternNeeds(parser, wordRulePattern(pass, from, caseSensitive), analyse);
    if (!needs) return std::nullopt;
    all.insert(all.end(), needs->begin(), needs->end());
  }
  return all;
}

}  // namespace

RulePrefilter::RulePrefilter(const RuleStore& rules, const LiteralAnalysis& analyse) {
  // Most rules are word rules with one literal in each case.
  const size_t expected = 2 * rules.From.size();
  LiteralTable table(expected);
  ids_.reserve(expected);
  RegexReplacer parser;
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
  rules_.resize(rules.From.size());
  for (size_t i = 0; i < rules.From.size(); ++i) {
    const std::string& from = rules.From[i];
    const int type = i < rules.Type.size() ? readTypeNumber(rules.Type[i]) : TYPE_WORD;
    RuleNeeds& needs = rules_[i];
    if (type == TYPE_WORD) {
      needs.folded = record([&] { return wordRuleNeeds(parser, from, false, analyse); });
      needs.exact = record([&] { return wordRuleNeeds(parser, from, true, analyse); });
    } else if (type == TYPE_PERL) {
      needs.folded = needs.exact = record([&] { return patternNeeds(parser, from, analyse); });
    }
  }
  automaton_ = LiteralAutomaton(table.all());
}

bool RulePrefilter::met(const Needs& needs, const LiteralPresence& presence) const {
  if (needs.count == Needs::kAlways) return true;
  for (uint32_t i = needs.begin; i < needs.begin + needs.count; ++i) {
    if (presence.occurs(ids_[i])) return true;
  }
  return false;
}

bool RulePrefilter::mayChange(size_t rule, const bool caseSensitive[3],
                              const LiteralPresence& presence) const {
  if (rule >= rules_.size()) return true;
  const RuleNeeds& needs = rules_[rule];
  const bool anyExact = caseSensitive[0] || caseSensitive[1] || caseSensitive[2];
  const bool anyFolded = !caseSensitive[0] || !caseSensitive[1] || !caseSensitive[2];
  return (anyFolded && met(needs.folded, presence)) || (anyExact && met(needs.exact, presence));
}

size_t RulePrefilter::memoryBytes() const {
  return rules_.capacity() * sizeof(RuleNeeds) + ids_.capacity() * sizeof(LiteralAutomaton::Id) +
         automaton_.memoryBytes();
}

}  // namespace qmx
