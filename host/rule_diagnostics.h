// What the plug-in cannot say through its entry point: which rules PCRE
// refuses, and which rule changed a message. quillmax-host runs the
// plug-in's own rule loop (correction/rule_loop.h, correction/rule_check.h)
// over the rules and the option as the store holds them.
#pragma once

#include "host/config_store.h"
#include "rules/rule_columns.h"

namespace qmxhost {

// The rules the store holds, aligned as the plug-in aligns them at start.
qmx::RuleStore rulesOf(const ConfigStore& store);

// The case option as the store holds it.
bool caseSensitiveIn(const ConfigStore& store);

}  // namespace qmxhost
