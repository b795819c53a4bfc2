// A rule base made ready once for the many messages it will correct: each
// rule's kind and road worked out, its texts at hand, and the prefilter
// that tells which rules cannot change a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "correction/rule_application.h"
#include "correction/rule_prefilter.h"
#include "rules/rule_columns.h"

namespace qmx {

// How a word rule that may change a text runs.
enum class WordRoad {
  Literal,          // a plain-literal From: without the pattern engine
  CheckedPatterns,  // a From of fixed length: the three patterns, where it stands as a word
  Patterns,         // any other From: the three patterns
};

struct PreparedRule {
  RuleKind kind;
  WordRoad road;
  // The rule's texts as the rule base held them when it was prepared.
  std::string from;
  std::string to;
};

class PreparedRules {
 public:
  explicit PreparedRules(const RuleStore& rules);

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
