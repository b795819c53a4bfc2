// quillmax-host rules: the rule list through the plug-in's own editor.
#include <algorithm>
#include <optional>
#include <ostream>
#include <set>

#include "correction/rule_check.h"
#include "host/cli_commands.h"
#include "host/escape_controls.h"
#include "host/rule_diagnostics.h"
#include "host/rule_list_changes.h"
#include "platform/win32_standin.h"
#include "rules/rule_types.h"
#include "shell/columns.h"
#include "shell/element_ids.h"

namespace qmxhost {

using namespace qmx;

namespace {

// The type cell of the editor's list ("Słowo", "Perl") as the tool names the
// type; "other" for a rule of neither kind, whose cell is empty.
std::string kindOfTypeCell(const std::string& cell) {
  for (const RuleType& type : kRuleTypes) {
    if (cell == type.cellText) return type.word;
  }
  return "other";
}

// A rule number as typed: decimal digits only, so that "1 ", "+1" or "1.5"
// is not taken for rule 1.
size_t ruleNumber(const std::string& text, size_t ruleCount) {
  const std::string numbered = "the rules are numbered 1 to " + std::to_string(ruleCount);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError("\"" + text + "\" is not a rule number: " + numbered);
  }
  // Past the last rule the value no longer matters, only that it is too large.
  size_t number = 0;
  for (char digit : text) {
    number = std::min(number * 10 + static_cast<size_t>(digit - '0'), ruleCount + 1);
  }
  if (number < 1 || number > ruleCount) throw UsageError("no rule " + text + ": " + numbered);
  return number;
}

// Changes rule `number` in place, on the stored columns: the editor has no
// such action (its Edit only copies a rule into the fields).
int changeRule(CommandContext& context, const std::string& number, const CommandLine& line) {
  std::optional<std::string> from, to, type;
  if (const Arguments* given = line.last("--from")) from = storedRuleText((*given)[0], "--from");
  if (const Arguments* given = line.last("--to")) to = storedRuleText((*given)[0], "--to");
  if (const Arguments* given = line.last("--type")) type = storedRuleType((*given)[0], "--type");
  StoreAccess& access = context.store(StoreUse::kChange);
  context.stage = "changing the rule";
  RuleStore rules = rulesOf(access.store());
  const size_t index = ruleNumber(number, rules.From.size()) - 1;
  if (from) {
    if (const auto same = ruleWithFrom(rules, *from, index)) {
      context.err << "quillmax-host: refused: rule " << *same + 1 << " has the From \""
                  << escapeControls(displayText(rules.From[*same]))
                  << "\" already (letter case aside), as the editor's Add would refuse it\n";
      return kExitRefused;
    }
    rules.From[index] = *from;
  }
  if (to) rules.To[index] = *to;
  if (type) rules.Type[index] = *type;
  storeRules(access.store(), rules);
  context.stage = "saving the store";
  access.save(context.err);
  context.stage = "checking the rule, which is saved";
  warnAboutRule(context.err, access.store(), index);
  context.out << "changed rule " << index + 1 << '\n';
  return kExitOk;
}

}  // namespace

int runRulesList(CommandContext& context, const CommandLine&) {
  ConfigStore& store = context.store().store();
  context.stage = "loading the rules";
  Session session(context.options, store, context.err);
  context.stage = "listing the rules";
  session.host().openSettings();
  const auto rows = session.plugin().windows().rows(session.host().ruleList());
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& cells = rows[i];
    context.out << i + 1 << '\t' << displayText(cells.at(0)) << '\t' << displayText(cells.at(1))
                << '\t' << kindOfTypeCell(cells.at(2)) << '\n';
  }
  context.stage = "ending the plug-in";
  session.end();
  return kExitOk;
}

int runRulesAdd(CommandContext& context, const CommandLine& line) {
  const Arguments& args = line.operands;
  const std::string type = storedRuleType(args.size() == 3 ? args[2] : "word", "rules add");
  const std::string from = storedRuleText(args[0], "the rule's FROM");
  const std::string to = storedRuleText(args[1], "the rule's TO");
  EditorSession editor(context, "adding the rule");
  const bool added = editor.add(from, to, type);
  const size_t count = editor.ruleCount();
  editor.end(context);
  if (!added) {
    context.err << "quillmax-host: refused: a rule with the From \"" << escapeControls(args[0])
                << "\" is already listed (letter case aside)\n";
    return kExitRefused;
  }
  // Only once the rule is safely in the store.
  editor.save(context);
  context.stage = "checking the rule, which is saved";
  warnAboutRule(context.err, editor.access.store(), count - 1);
  context.out << "added rule " << count << '\n';
  return kExitOk;
}

int runRulesDelete(CommandContext& context, const CommandLine& line) {
  EditorSession editor(context, "deleting the rules");
  const size_t count = editor.ruleCount();
  std::set<size_t> chosen;
  for (const std::string& number : line.operands) chosen.insert(ruleNumber(number, count));
  for (size_t number : chosen) {
    editor.windows.selectRow(editor.host.ruleList(), static_cast<int>(number - 1), true);
  }
  editor.windows.setMessageBoxAnswer(IDYES);
  editor.host.press(kElementDeleteButton);
  const size_t left = editor.ruleCount();
  editor.end(context);
  editor.save(context);
  context.out << "deleted " << count - left << (count - left == 1 ? " rule\n" : " rules\n");
  return kExitOk;
}

int runRulesEdit(CommandContext& context, const CommandLine& line) {
  if (!line.options.empty()) return changeRule(context, line.operands[0], line);
  ConfigStore& store = context.store(StoreUse::kRead).store();
  context.stage = "loading the rules";
  Session session(context.options, store, context.err);
  context.stage = "reading the rule";
  HostSimulator& host = session.host();
  host.openSettings();
  WindowSystem& windows = session.plugin().windows();
  const size_t number = ruleNumber(line.operands[0], windows.rows(host.ruleList()).size());
  windows.selectRow(host.ruleList(), static_cast<int>(number - 1), true);
  host.press(kElementEditButton);
  context.out << "From: " << displayText(host.fieldValue(kElementFromField)) << '\n'
              << "To: " << displayText(host.fieldValue(kElementToField)) << '\n'
              << "Type: " << displayText(host.fieldValue(kElementTypeChoice)) << '\n';
  context.stage = "ending the plug-in";
  session.end();
  return kExitOk;
}

int runRulesMove(CommandContext& context, const CommandLine& line) {
  StoreAccess& access = context.store();
  context.stage = "moving the rule";
  RuleStore rules = rulesOf(access.store());
  const size_t from = ruleNumber(line.operands[0], rules.From.size());
  const size_t to = ruleNumber(line.operands[1], rules.From.size());
  moveRule(rules, from - 1, to - 1);
  storeRules(access.store(), rules);
  context.stage = "saving the store";
  access.save(context.err);
  context.out << "moved rule " << from << " to " << to << '\n';
  return kExitOk;
}

}  // namespace qmxhost
