#include "host/rule_diagnostics.h"

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

bool caseSensitiveIn(const ConfigStore& store) {
  return store.integer(columnName(kColumnCaseSensitive)).value_or(0) != 0;
}

// A longer From is shown by its start: a finding stays a line to take in
// at a glance, whatever the rule's size.
constexpr size_t kShownFromBytes = 60;

std::string describeFinding(const RuleFinding& finding, const std::string& from) {
  std::string line = "rule " + std::to_string(finding.rule + 1);
  if (!from.empty()) line += ": " + displayText(from.substr(0, kShownFromBytes));
  if (from.size() > kShownFromBytes) line += "...";
  // Passes are told to users counted from 1.
  if (finding.pass != qmx::kWholeRule) line += ": pass " + std::to_string(finding.pass + 1);
  line += ": " + displayText(finding.reason);
  if (finding.offset >= 0) line += " at offset " + std::to_string(finding.offset);
  // A From may hold a line feed; a finding is still one line.
  return escapeControls(line);
}

}  // namespace qmxhost
