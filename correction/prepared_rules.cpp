#include "correction/prepared_rules.h"

#include "correction/literal_word_rule.h"

namespace qmx {

namespace {

WordRoad wordRoad(const std::string& from) {
  if (isPlainLiteral(from)) return WordRoad::Literal;
  if (isFixedLengthFrom(from)) return WordRoad::CheckedPatterns;
  return WordRoad::Patterns;
}

size_t heapBytes(const std::string& text) {
  // Short texts live inside the string itself.
  return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

}  // namespace

PreparedRules::PreparedRules(const RuleStore& rules)
    : revision_(rules.revision), prefilter_(rules) {
  rules_.reserve(rules.From.size());
  for (size_t i = 0; i < rules.From.size(); ++i) {
    const RuleKind kind = ruleKind(rules.Type.at(i));
    const std::string& from = rules.From[i];
    rules_.push_back(
        {kind, kind == RuleKind::Word ? wordRoad(from) : WordRoad::Patterns, from, rules.To.at(i)});
  }
}

size_t PreparedRules::memoryBytes() const {
  size_t bytes = rules_.capacity() * sizeof(PreparedRule) + prefilter_.memoryBytes();
  for (const PreparedRule& rule : rules_) bytes += heapBytes(rule.from) + heapBytes(rule.to);
  return bytes;
}

}  // namespace qmx
