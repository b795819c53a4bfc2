#include "host/cli_commands.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>
#include <set>

#include "correction/rule_check.h"
#include "host/cli_arguments.h"
#include "host/escape_controls.h"
#include "host/rule_diagnostics.h"
#include "platform/win32_standin.h"
#include "shell/columns.h"
#include "shell/element_ids.h"
#include "shell/element_kinds.h"

namespace qmxhost {

using namespace qmx;

namespace {

const char kRulesUsage[] =
    "usage: quillmax-host rules list\n"
    "       quillmax-host rules add FROM TO [word|perl]\n"
    "       quillmax-host rules delete N...\n"
    "       quillmax-host rules edit N\n"
    "Works on the rules through the plug-in's own editor. Rules are numbered from 1.\n"
    "'add' refuses a From already listed (letter case aside) and exits 1; 'delete'\n"
    "confirms once for every rule named; 'edit' prints the fields the plug-in fills in.\n";

const char kCheckUsage[] =
    "usage: quillmax-host check\n"
    "Judges the stored rules as the plug-in runs them, one line a finding: a pattern\n"
    "that never compiles (for a word rule, each of its three), more groups than a\n"
    "match can report, and what is almost always a mistake: an empty From, a Perl\n"
    "From without its closing delimiter or that can match the empty text, a word\n"
    "From holding pattern characters, a word To holding \"$\" and a digit or \"&\", a\n"
    "Perl To naming a group the pattern lacks, a word From written as a Perl pattern,\n"
    "the From of an earlier rule (letter case aside), and letters outside A-Z where\n"
    "case is ignored or beside \\b and \\w (the pattern library knows only A-Z).\n"
    "Exits 1 when there is any finding.\n";

const char kPageUsage[] =
    "usage: quillmax-host page\n"
    "Shows the plug-in's configuration columns and its settings page, element by element.\n";

const char kSetUsage[] =
    "usage: quillmax-host set incoming on|off\n"
    "       quillmax-host set case-sensitive on|off\n"
    "'incoming': correct incoming messages too. 'case-sensitive': word rules match\n"
    "letter case exactly.\n";

// "Słowo" and "Perl" in the list's type column; empty for a rule of neither kind.
std::string kindOfTypeCell(const std::string& cell) {
  if (cell == "S\xb3owo") return "word";
  if (cell == "Perl") return "perl";
  return "other";
}

// --- rules -------------------------------------------------------------------

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

// The plug-in writes its rules back at the end of a session only when it
// had loaded them all: without a write-back the change it took in was never
// stored, and a save would report it done.
void requireRulesWrittenBack(Session& session) {
  for (int32_t column : {kColumnFrom, kColumnTo, kColumnType}) {
    if (!session.host().wroteColumn(column)) {
      throw PluginFailure(
          "the plug-in did not write its rules back (as when it could not load "
          "them), so the change is not saved");
    }
  }
}

int rulesList(CommandContext& context, const Arguments& args) {
  if (args.size() != 1) throw UsageError("rules list takes no arguments");
  context.stage = "reading the store";
  StoreAccess access(context.options, StoreUse::Read);
  context.stage = "loading the rules";
  Session session(context.options, access.store(), context.err);
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

int rulesAdd(CommandContext& context, const Arguments& args) {
  if (args.size() < 3 || args.size() > 4) throw UsageError("usage: rules add FROM TO [word|perl]");
  const std::string type = storedRuleType(args.size() == 4 ? args[3] : "word", "rules add");
  const std::string from = storedRuleText(args[1], "the rule's FROM");
  const std::string to = storedRuleText(args[2], "the rule's TO");
  context.stage = "reading the store";
  StoreAccess access(context.options, StoreUse::Change);
  context.stage = "loading the rules";
  Session session(context.options, access.store(), context.err);
  context.stage = "adding the rule";
  HostSimulator& host = session.host();
  host.openSettings();
  WindowSystem& windows = session.plugin().windows();
  const size_t before = windows.rows(host.ruleList()).size();
  host.setFieldValue(kElementFromField, from);
  host.setFieldValue(kElementToField, to);
  host.setFieldValue(kElementTypeChoice, type);
  host.press(kElementAddButton);
  const size_t after = windows.rows(host.ruleList()).size();
  context.stage = "writing back the rules";
  session.end();
  if (after == before) {
    context.err << "quillmax-host: refused: a rule with the From \"" << escapeControls(args[1])
                << "\" is already listed (letter case aside)\n";
    return kExitRefused;
  }
  requireRulesWrittenBack(session);
  context.stage = "saving the store";
  // Only once the rule is safely in the store.
  access.save(context.err);
  context.stage = "checking the rule, which is saved";
  // The plug-in's editor takes any rule; what check would say of this one
  // is said now, while the user still has it in mind.
  const RuleStore rules = rulesOf(access.store());
  const size_t added = after - 1;
  for (const RuleFinding& finding :
       checkRule(added, ruleKind(rules.Type.at(added)), rules.From.at(added), rules.To.at(added),
                 caseSensitiveIn(access.store()))) {
    context.err << "quillmax-host: warning: " << describeFinding(finding, rules.From.at(added))
                << '\n';
  }
  context.out << "added rule " << after << '\n';
  return kExitOk;
}

int rulesDelete(CommandContext& context, const Arguments& args) {
  if (args.size() < 2) throw UsageError("usage: rules delete N...");
  context.stage = "reading the store";
  StoreAccess access(context.options, StoreUse::Change);
  context.stage = "loading the rules";
  Session session(context.options, access.store(), context.err);
  context.stage = "deleting the rules";
  HostSimulator& host = session.host();
  host.openSettings();
  WindowSystem& windows = session.plugin().windows();
  const size_t count = windows.rows(host.ruleList()).size();
  std::set<size_t> chosen;
  for (size_t i = 1; i < args.size(); ++i) chosen.insert(ruleNumber(args[i], count));
  for (size_t number : chosen)
    windows.selectRow(host.ruleList(), static_cast<int>(number - 1), true);
  windows.setMessageBoxAnswer(IDYES);
  host.press(kElementDeleteButton);
  const size_t left = windows.rows(host.ruleList()).size();
  context.stage = "writing back the rules";
  session.end();
  requireRulesWrittenBack(session);
  context.stage = "saving the store";
  access.save(context.err);
  context.out << "deleted " << count - left << (count - left == 1 ? " rule\n" : " rules\n");
  return kExitOk;
}

int rulesEdit(CommandContext& context, const Arguments& args) {
  if (args.size() != 2) throw UsageError("usage: rules edit N");
  context.stage = "reading the store";
  StoreAccess access(context.options, StoreUse::Read);
  context.stage = "loading the rules";
  Session session(context.options, access.store(), context.err);
  context.stage = "reading the rule";
  HostSimulator& host = session.host();
  host.openSettings();
  WindowSystem& windows = session.plugin().windows();
  const size_t number = ruleNumber(args[1], windows.rows(host.ruleList()).size());
  windows.selectRow(host.ruleList(), static_cast<int>(number - 1), true);
  host.press(kElementEditButton);
  context.out << "From: " << displayText(host.fieldValue(kElementFromField)) << '\n'
              << "To: " << displayText(host.fieldValue(kElementToField)) << '\n'
              << "Type: " << displayText(host.fieldValue(kElementTypeChoice)) << '\n';
  context.stage = "ending the plug-in";
  session.end();
  return kExitOk;
}

}  // namespace

int runRules(CommandContext& context, const Arguments& args) {
  ArgumentScanner scan(args, "rules");
  if (scan.onlyHelp()) {
    context.out << kRulesUsage;
    return kExitOk;
  }
  // Everything after the subcommand is its operands: a rule may read "-h".
  const Arguments operands = scan.operands();
  if (operands.empty()) throw UsageError("rules: say list, add, delete or edit");
  if (operands[0] == "list") return rulesList(context, operands);
  if (operands[0] == "add") return rulesAdd(context, operands);
  if (operands[0] == "delete") return rulesDelete(context, operands);
  if (operands[0] == "edit") return rulesEdit(context, operands);
  throw UsageError("unknown rules command '" + operands[0] + "'");
}

// --- check -------------------------------------------------------------------

int runCheck(CommandContext& context, const Arguments& args) {
  ArgumentScanner scan(args, "check");
  if (scan.onlyHelp()) {
    context.out << kCheckUsage;
    return kExitOk;
  }
  if (!scan.operands().empty()) throw UsageError("check takes no arguments");
  context.stage = "reading the store";
  StoreAccess access(context.options, StoreUse::Read);
  context.stage = "checking the rules";
  const ConfigStore& store = access.store();
  const RuleStore rules = rulesOf(store);
  const auto findings = checkRules(rules, caseSensitiveIn(store));
  for (const RuleFinding& finding : findings) {
    context.out << describeFinding(finding, rules.From[finding.rule]) << '\n';
  }
  if (!findings.empty()) return kExitRefused;
  context.out << rules.From.size() << (rules.From.size() == 1 ? " rule" : " rules")
              << ": no faults, no warnings\n";
  return kExitOk;
}

// --- page --------------------------------------------------------------------

namespace {

std::string elementKind(uint32_t status) {
  switch (status) {
    case kPageStatus:
      return "page";
    case kGroupStart:
      return "group";
    case kGroupEnd:
      return "end of group";
    case kCustomWindow:
      return "list";
    case kLabel:
      return "label";
    case kTextField:
      return "text field";
    case kChoice:
      return "choice";
    case kButton:
    case kSaveButton:
      return "button";
    case kCheckBox:
      return "check box";
    case kFormattedText:
      return "formatted text";
    default: {
      char text[24];
      std::snprintf(text, sizeof text, "status 0x%X", status);
      return text;
    }
  }
}

// A caption, its tip after the byte 0x01, and choices one a line.
std::string describeCaption(const std::string& cp1250) {
  const size_t tip = cp1250.find('\x01');
  std::string caption = displayText(cp1250.substr(0, tip));
  for (size_t at = caption.find('\n'); at != std::string::npos; at = caption.find('\n', at)) {
    caption.replace(at, 1, " | ");
  }
  std::string described = "\"" + caption + "\"";
  if (tip != std::string::npos && tip + 1 < cp1250.size()) {
    described += " (tip: \"" + displayText(cp1250.substr(tip + 1)) + "\")";
  }
  return described;
}

}  // namespace

int runPage(CommandContext& context, const Arguments& args) {
  ArgumentScanner scan(args, "page");
  if (scan.onlyHelp()) {
    context.out << kPageUsage;
    return kExitOk;
  }
  if (!scan.operands().empty()) throw UsageError("page takes no arguments");
  context.stage = "reading the store";
  StoreAccess access(context.options, StoreUse::Read);
  context.stage = "loading the plug-in";
  Session session(context.options, access.store(), context.err);
  context.stage = "listing the settings page";
  const HostSimulator& host = session.host();
  std::ostream& out = context.out;
  out << "columns:\n";
  for (const DeclaredColumn& column : host.columns()) {
    out << "  " << column.id << "  " << column.name << "  "
        << (column.type == kConfigText ? "text" : "integer") << '\n';
  }
  out << "icon: " << host.iconId() << '\n';
  int depth = 0;
  for (const PageElement& element : host.elements()) {
    if (element.status == kGroupEnd && depth > 0) --depth;
    out << std::string(2 * static_cast<size_t>(depth), ' ');
    out << (element.id ? std::to_string(element.id) : std::string("-")) << "  "
        << elementKind(element.status);
    if (element.hasText) out << "  " << describeCaption(element.text);
    if (element.parent != PAGE_ID) out << "  (parent " << element.parent << ")";
    if (element.param) out << "  [param " << element.param << "]";
    out << '\n';
    if (element.status == kGroupStart || element.status == kPageStatus) ++depth;
  }
  context.stage = "ending the plug-in";
  session.end();
  return kExitOk;
}

// --- set ---------------------------------------------------------------------

int runSet(CommandContext& context, const Arguments& args) {
  ArgumentScanner scan(args, "set");
  if (scan.onlyHelp()) {
    context.out << kSetUsage;
    return kExitOk;
  }
  const Arguments operands = scan.operands();
  if (operands.size() != 2) throw UsageError("usage: set incoming|case-sensitive on|off");
  const char* column = nullptr;
  if (operands[0] == "incoming") column = columnName(kColumnIncoming);
  if (operands[0] == "case-sensitive") column = columnName(kColumnCaseSensitive);
  if (!column) throw UsageError("set: unknown option '" + operands[0] + "'");
  if (operands[1] != "on" && operands[1] != "off") {
    throw UsageError("set: the value is on or off");
  }
  context.stage = "reading the store";
  StoreAccess access(context.options, StoreUse::Change);
  access.store().setInteger(column, operands[1] == "on" ? 1 : 0);
  context.stage = "saving the store";
  access.save(context.err);
  context.out << operands[0] << ": " << operands[1] << '\n';
  return kExitOk;
}

}  // namespace qmxhost
