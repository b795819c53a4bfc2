#include "host/rule_list_changes.h"

#include "platform/list_view_model.h"

namespace qmxhost {

std::optional<size_t> ruleWithFrom(const qmx::RuleStore& rules, const std::string& from,
                                   std::optional<size_t> except) {
  for (size_t i = 0; i < rules.From.size(); ++i) {
    if (i != except && standin::equalIgnoringCase1250(rules.From[i], from)) return i;
  }
  return std::nullopt;
}

void moveRule(qmx::RuleStore& rules, size_t from, size_t to) {
  for (auto* list : {&rules.From, &rules.To, &rules.Type}) {
    std::string moved = std::move((*list)[from]);
    list->erase(list->begin() + static_cast<long>(from));
    list->insert(list->begin() + static_cast<long>(to), std::move(moved));
  }
  rules.revision = qmx::newRuleRevision();
}

}  // namespace qmxhost
