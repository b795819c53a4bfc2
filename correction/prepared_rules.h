// A rule base made ready once for the many messages it will correct: each
// rule's kind, road and needs worked out, its texts at hand, and the
// prefilter that tells which rules cannot change a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "correction/rule_application.h"
#include "correction/rule_prefilter.h"
#include "rules/rule_columns.h"

namespace qmx {

// What the rule loop reads of every rule of every message comes first; the
// texts only of the few rules that run.
struct PreparedRule {
  RuleKind kind = RuleKind::kInert;
  WordRoad road;    // a word rule's; the others run their pattern
  RuleNeeds needs;  // worked out by the prefilter
  // The rule's texts as the rule base held them when it was prepared.
  std::string from;
  std::string to;
};

class PreparedRules {
 public:
  // Prepares `rules`, finding the literals each rule needs with `analyse`.
  explicit PreparedRules(const RuleStore& rules, const LiteralAnalysis& analyse = requiredLiterals);

  // The revision of the rule base this was prepared from.
  uint64_t revision() const { return revision_; }
  size_t size() const { return rules_.size(); }
  const PreparedRule& operator[](size_t rule) const { return rules_[rule]; }
  const RulePrefilter& prefilter() const { return prefilter_; }
  // Heap bytes held, the prefilter's included.
  size_t memoryBytes() const;

 private:
  uint64_t revision_;
  std::vector<PreparedRule> rules_;
  RulePrefilter prefilter_;
};

}  // namespace qmx
