// The host's own changes to the rule list, made on the stored columns
// between sessions: the plug-in's editor can only add and delete, so
// changing a rule in place or moving it is done here, on the lists as
// rules/rule_columns reads and writes them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "rules/rule_columns.h"

namespace qmxhost {

// The index of the first rule other than `except` whose From equals `from`,
// letter case aside, compared as the plug-in's editor compares a new From
// with the listed ones (Windows-1250 letters fold as on a Polish Windows);
// nothing when there is none.
std::optional<size_t> ruleWithFrom(const qmx::RuleStore& rules, const std::string& from,
                                   std::optional<size_t> except = std::nullopt);

// Moves rule `from` to index `to`; the others keep their order. Both are
// indices of existing rules.
void moveRule(qmx::RuleStore& rules, size_t from, size_t to);

}  // namespace qmxhost
