#include "rules/rule_types.h"

namespace qmx {

const RuleType* ruleTypeOf(int number) {
  for (const RuleType& type : kRuleTypes) {
    if (type.number == number) return &type;
  }
  return nullptr;
}

const RuleType* ruleTypeNamed(const std::string& word) {
  for (const RuleType& type : kRuleTypes) {
    if (word == type.word) return &type;
  }
  return nullptr;
}

}  // namespace qmx
