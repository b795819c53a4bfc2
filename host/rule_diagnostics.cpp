#include "host/rule_diagnostics.h"

#include <ostream>

#include "host/cli_session.h"
#include "host/escape_controls.h"
#include "shell/columns.h"

namespace qmxhost {

using namespace qmx;

RuleStore rulesOf(const ConfigStore& store) {
  return parseRuleColumns(store.text(columnName(kColumnFrom)).value_or(""),
                          store.text(columnName(kColumnTo)).value_or(""),
                          store.text(columnName(kColumnType)).value_or(""));
}

void storeRules(ConfigStore& store, const RuleStore& rules) {
  store.setText(columnName(kColumnFrom), joinColumn(rules.From));
  store.setText(columnName(kColumnTo), joinColumn(rules.To));
  store.setText(columnName(kColumnType), joinColumn(rules.Type));
}

bool caseSensitiveIn(const ConfigStore& store) {
  return store.integer(columnName(kColumnCaseSensitive)).value_or(0) != 0;
}

constexpr size_t kShownFromBytes = 60;

std::string shownFrom(const std::string& from) {
  return displayText(from.substr(0, kShownFromBytes)) +
         (from.size() > kShownFromBytes ? "..." : "");
}

std::string describeFinding(const RuleFinding& finding, const std::string& from) {
  std::string line = "rule " + std::to_string(finding.rule + 1);
  if (!from.empty()) line += ": " + shownFrom(from);
  // Passes are told to users counted from 1.
  if (finding.pass != qmx::kWholeRule) line += ": pass " + std::to_string(finding.pass + 1);
  line += ": " + displayText(finding.reason);
  if (finding.offset >= 0) line += " at offset " + std::to_string(finding.offset);
  // A From may hold a line feed; a finding is still one line.
  return escapeControls(line);
}

void warnAboutRule(std::ostream& err, const ConfigStore& store, size_t index) {
  const RuleStore rules = rulesOf(store);
  for (const RuleFinding& finding :
       checkRule(index, ruleKind(rules.Type.at(index)), rules.From.at(index), rules.To.at(index),
                 caseSensitiveIn(store))) {
    err << "quillmax-host: warning: " << describeFinding(finding, rules.From.at(index)) << '\n';
  }
}

}  // namespace qmxhost
