// What the plug-in cannot say through its entry point: which rules never
// work or work against their look, and which rule changed a message.
// quillmax-host runs the plug-in's own rule loop (correction/rule_loop.h,
// correction/rule_check.h) over the rules and the option as the store holds
// them.
#pragma once

#include <iosfwd>
#include <string>

#include "correction/rule_check.h"
#include "host/config_store.h"
#include "rules/rule_columns.h"

namespace qmxhost {

// The rules the store holds, aligned as the plug-in aligns them at start.
qmx::RuleStore rulesOf(const ConfigStore& store);

// Writes `rules` into the store's three rule columns, as the plug-in writes
// them back.
void storeRules(ConfigStore& store, const qmx::RuleStore& rules);

// The case option as the store holds it.
bool caseSensitiveIn(const ConfigStore& store);

// The start of a From, as findings and statistics show it: a longer one is
// cut, so that a line stays one to take in at a glance.
std::string shownFrom(const std::string& from);

// What check would say of rule `index` of the store, as warnings on `err`,
// one line each: said while the user still has the rule in mind, since the
// plug-in's editor takes any rule.
void warnAboutRule(std::ostream& err, const ConfigStore& store, size_t index);

// `finding` as one line for the terminal: the rule's number, the start of
// its From `from`, the pass, the reason.
std::string describeFinding(const qmx::RuleFinding& finding, const std::string& from);

}  // namespace qmxhost
