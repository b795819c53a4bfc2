#include "host/rule_diagnostics.h"

#include "shell/columns.h"

namespace qmxhost {

RuleStore rulesOf(const ConfigStore& store) {
  return parseRuleColumns(store.text(columnName(COLUMN_FROM)).value_or(""),
                          store.text(columnName(COLUMN_TO)).value_or(""),
                          store.text(columnName(COLUMN_TYPE)).value_or(""));
}

bool caseSensitiveIn(const ConfigStore& store) {
  return store.integer(columnName(COLUMN_CASE_SENSITIVE)).value_or(0) != 0;
}

}  // namespace qmxhost
