#include "host/rule_diagnostics.h"

namespace qmxhost {

const char kColumnFrom[] = "Rewordix/From";
const char kColumnTo[] = "Rewordix/To";
const char kColumnType[] = "Rewordix/Type";
const char kColumnIncoming[] = "Rewordix/Przychodzace";
const char kColumnCaseSensitive[] = "Rewordix/CaseSensitive";

RuleStore rulesOf(const ConfigStore& store) {
  return parseRuleColumns(store.text(kColumnFrom).value_or(""), store.text(kColumnTo).value_or(""),
                          store.text(kColumnType).value_or(""));
}

bool caseSensitiveIn(const ConfigStore& store) {
  return store.integer(kColumnCaseSensitive).value_or(0) != 0;
}

}  // namespace qmxhost
