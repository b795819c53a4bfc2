#include "host/rule_diagnostics.h"

#include "shell/columns.h"

namespace qmxhost {

using namespace qmx;

RuleStore rulesOf(const ConfigStore& store) {
  return parseRuleColumns(store.text(columnName(kColumnFrom)).value_or(""),
                          store.text(columnName(kColumnTo)).value_or(""),
                          store.text(columnName(kColumnType)).value_or(""));
}

bool caseSensitiveIn(const ConfigStore& store) {
  return store.integer(columnName(kColumnCaseSensitive)).value_or(0) != 0;
}

}  // namespace qmxhost
