#include "host/cli_commands.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>
#include <stdexcept>

#include "correction/rule_check.h"
#include "host/cli_arguments.h"
#include "host/escape_controls.h"
#include "host/rule_diagnostics.h"
#include "shell/columns.h"
#include "shell/element_ids.h"
#include "shell/element_kinds.h"

namespace qmxhost {

using namespace qmx;

CommandContext::CommandContext(const GlobalOptions& globalOptions, StoreNeed need,
                               std::istream& input, std::ostream& output, std::ostream& errors,
                               std::string& currentStage)
    : options(globalOptions),
      in(input),
      out(output),
      err(errors),
      stage(currentStage),
      need_(need) {}

namespace {

StoreAccess& storeToLoad(CommandContext& context) {
  StoreAccess& access = context.store();
  context.stage = "loading the rules";
  return access;
}

HostSimulator& settingsOpened(HostSimulator& host, CommandContext& context, const char* stage) {
  context.stage = stage;
  host.openSettings();
  return host;
}

}  // namespace

EditorSession::EditorSession(CommandContext& context, const char* stage)
    : access(storeToLoad(context)),
      session(context.options, access.store(), context.err),
      host(settingsOpened(session.host(), context, stage)),
      windows(session.plugin().windows()) {}

size_t EditorSession::ruleCount() {
  return static_cast<size_t>(windows.rowCount(host.ruleList()));
}

bool EditorSession::add(const std::string& from, const std::string& to, const std::string& type) {
  const size_t before = ruleCount();
  host.setFieldValue(kElementFromField, from);
  host.setFieldValue(kElementToField, to);
  host.setFieldValue(kElementTypeChoice, type);
  host.press(kElementAddButton);
  return ruleCount() != before;
}

void EditorSession::end(CommandContext& context) {
  context.stage = "writing back the rules";
  session.end();
}

void EditorSession::save(CommandContext& context) {
  session.requireRulesWrittenBack();
  context.stage = "saving the store";
  access.save(context.err);
}

StoreAccess& CommandContext::store() {
  return store(need_ == StoreNeed::kChange ? StoreUse::kChange : StoreUse::kRead);
}

StoreAccess& CommandContext::store(StoreUse use) {
  if (!access_) {
    if (need_ == StoreNeed::kNone) throw std::logic_error("this command takes no store");
    if (use == StoreUse::kChange && need_ != StoreNeed::kChange) {
      throw std::logic_error("this command only reads the store");
    }
    const std::string before = stage;
    stage = "reading the store";
    access_.emplace(options, use);
    stage = before;
  }
  return *access_;
}

// --- check -------------------------------------------------------------------

int runCheck(CommandContext& context, const CommandLine&) {
  const ConfigStore& store = context.store().store();
  context.stage = "checking the rules";
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

int runPage(CommandContext& context, const CommandLine&) {
  ConfigStore& store = context.store().store();
  context.stage = "loading the plug-in";
  Session session(context.options, store, context.err);
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
    if (element.parent != kElementPage) out << "  (parent " << element.parent << ")";
    if (element.param) out << "  [param " << element.param << "]";
    out << '\n';
    if (element.status == kGroupStart || element.status == kPageStatus) ++depth;
  }
  context.stage = "ending the plug-in";
  session.end();
  return kExitOk;
}

// --- set ---------------------------------------------------------------------

int runSet(CommandContext& context, const CommandLine& line) {
  const Arguments& operands = line.operands;
  if (operands.empty()) {
    const ConfigStore& store = context.store(StoreUse::kRead).store();
    for (const auto& [name, column] : {std::pair("incoming", kColumnIncoming),
                                       std::pair("case-sensitive", kColumnCaseSensitive)}) {
      context.out << name << ": " << (store.integer(columnName(column)).value_or(0) ? "on" : "off")
                  << '\n';
    }
    return kExitOk;
  }
  if (operands.size() != 2)
    throw UsageError("usage: quillmax-host set [incoming|case-sensitive on|off]");
  const char* column = nullptr;
  if (operands[0] == "incoming") column = columnName(kColumnIncoming);
  if (operands[0] == "case-sensitive") column = columnName(kColumnCaseSensitive);
  if (!column) throw UsageError("set: unknown option '" + operands[0] + "'");
  if (operands[1] != "on" && operands[1] != "off") {
    throw UsageError("set: the value is on or off");
  }
  StoreAccess& access = context.store();
  access.store().setInteger(column, operands[1] == "on" ? 1 : 0);
  context.stage = "saving the store";
  access.save(context.err);
  context.out << operands[0] << ": " << operands[1] << '\n';
  return kExitOk;
}

}  // namespace qmxhost
