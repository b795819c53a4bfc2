#include "correction/prepared_rules.h"

namespace qmx {

namespace {

size_t heapBytes(const std::string& text) {
  // Short texts live inside the string itself.
  return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

std::vector<PreparedRule> prepare(const RuleStore& rules) {
  std::vector<PreparedRule> prepared(rules.From.size());
  for (size_t i = 0; i < prepared.size(); ++i) {
    PreparedRule& rule = prepared[i];
    // A short Type or To column reads as a word rule with an empty To, as
    // the columns are aligned when they are loaded.
    rule.kind = i < rules.Type.size() ? ruleKind(rules.Type[i]) : RuleKind::kWord;
    rule.from = rules.From[i];
    if (i < rules.To.size()) rule.to = rules.To[i];
    if (rule.kind == RuleKind::kWord) rule.road = wordRoadOf(rule.from);
  }
  return prepared;
}

}  // namespace

PreparedRules::PreparedRules(const RuleStore& rules, const LiteralAnalysis& analyse)
    : revision_(rules.revision), rules_(prepare(rules)), prefilter_(rules_, analyse) {}

size_t PreparedRules::memoryBytes() const {
  size_t bytes = rules_.capacity() * sizeof(PreparedRule) + prefilter_.memoryBytes();
  for (const PreparedRule& rule : rules_) bytes += heapBytes(rule.from) + heapBytes(rule.to);
  return bytes;
}

}  // namespace qmx
