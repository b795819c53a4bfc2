#include "host/cli_commands.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>
#include <set>

#include "correction/rule_check.h"
#include "correction/rule_loop.h"
#include "host/rule_diagnostics.h"
#include "host/text_codec.h"
#include "platform/win32_standin.h"
#include "shell/columns.h"
#include "shell/element_ids.h"
#include "shell/element_kinds.h"

namespace qmxhost {

using namespace qmx;

namespace {

const char kCorrectUsage[] =
    "usage: quillmax-host correct [--incoming] [--null] [--trace] [--rule FROM TO TYPE]...\n"
    "                             [MESSAGE...]\n"
    "Passes each MESSAGE, or else each line of standard input, through the plug-in as an\n"
    "outgoing message and prints the text the messenger delivers, one per line.\n"
    "  --incoming   as incoming messages: corrected only when 'set incoming on'\n"
    "  --null       messages and results end in a NUL byte instead of a line feed\n"
    "  --trace      show on standard error each rule that changed a message\n"
    "  --rule FROM TO TYPE\n"
    "               one more rule for this run only (TYPE: word, perl, or a type number);\n"
    "               it never reaches the store\n";

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
    "Lists each rule whose pattern never compiles, with the pattern library's reason;\n"
    "for a word rule, each of its three patterns that fails. Exits 1 when there is any.\n";

const char kPageUsage[] =
    "usage: quillmax-host page\n"
    "Shows the plug-in's configuration columns and its settings page, element by element.\n";

const char kSetUsage[] =
    "usage: quillmax-host set incoming on|off\n"
    "       quillmax-host set case-sensitive on|off\n"
    "'incoming': correct incoming messages too. 'case-sensitive': word rules match\n"
    "letter case exactly.\n";

bool wantsHelp(const Arguments& args) {
  return std::find(args.begin(), args.end(), "--help") != args.end() ||
         std::find(args.begin(), args.end(), "-h") != args.end();
}

// Texts from the terminal for the plug-in, and back; `what` names the text
// in the error.
std::string toPlugin(const std::string& utf8, const std::string& what) {
  try {
    return utf8ToCp1250(utf8);
  } catch (const TextCodecError& error) {
    throw UsageError(what + ": " + error.what());
  }
}

std::string fromPlugin(const std::string& cp1250, const std::string& what) {
  try {
    return cp1250ToUtf8(cp1250);
  } catch (const TextCodecError& error) {
    throw UsageError(what + ": " + error.what());
  }
}

std::string storedType(const std::string& type) {
  if (type == "word") return "0";
  if (type == "perl") return "1";
  return type;
}

// "Słowo" and "Perl" in the list's type column; empty for a rule of neither kind.
std::string kindOfTypeCell(const std::string& cell) {
  if (cell == "S\xb3owo") return "word";
  if (cell == "Perl") return "perl";
  return "other";
}

std::vector<std::string> readMessages(std::istream& in, bool nullTerminated) {
  std::vector<std::string> messages;
  std::string message;
  while (std::getline(in, message, nullTerminated ? '\0' : '\n')) messages.push_back(message);
  return messages;
}

// --- correct -----------------------------------------------------------------

struct CorrectOptions {
  bool incoming = false;
  bool nullTerminated = false;
  bool trace = false;
  std::vector<std::vector<std::string>> rules;  // FROM, TO, TYPE, as typed
  std::vector<std::string> messages;
  bool messagesGiven = false;
};

CorrectOptions parseCorrect(const Arguments& args) {
  CorrectOptions options;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg == "--incoming") {
      options.incoming = true;
    } else if (!optionsEnded && arg == "--null") {
      options.nullTerminated = true;
    } else if (!optionsEnded && arg == "--trace") {
      options.trace = true;
    } else if (!optionsEnded && arg == "--rule") {
      if (i + 3 >= args.size()) throw UsageError("--rule needs FROM, TO and TYPE");
      options.rules.push_back({args[i + 1], args[i + 2], args[i + 3]});
      i += 3;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      throw UsageError("correct: unknown option " + arg);
    } else {
      options.messages.push_back(arg);
      options.messagesGiven = true;
    }
  }
  return options;
}

void addRunOnlyRules(ConfigStore& store, const CorrectOptions& options) {
  RuleStore rules = rulesOf(store);
  for (size_t i = 0; i < options.rules.size(); ++i) {
    const auto& rule = options.rules[i];
    const std::string what = "--rule " + std::to_string(i + 1);
    rules.From.push_back(toPlugin(rule[0], what + " FROM"));
    rules.To.push_back(toPlugin(rule[1], what + " TO"));
    rules.Type.push_back(toPlugin(storedType(rule[2]), what + " TYPE"));
  }
  store.setText(columnName(kColumnFrom), joinColumn(rules.From));
  store.setText(columnName(kColumnTo), joinColumn(rules.To));
  store.setText(columnName(kColumnType), joinColumn(rules.Type));
}

void restoreColumn(ConfigStore& store, const ConfigStore& original, const char* name) {
  if (auto text = original.text(name)) {
    store.setText(name, *text);
  } else {
    store.erase(name);
  }
}

}  // namespace

int runCorrect(CommandContext& context, const Arguments& args) {
  if (wantsHelp(args)) {
    context.out << kCorrectUsage;
    return kExitOk;
  }
  const CorrectOptions options = parseCorrect(args);
  const bool raw = context.options.raw;
  ConfigStore store = openStore(context.options);
  const ConfigStore original = store;
  if (!options.rules.empty()) addRunOnlyRules(store, options);
  const RuleStore rules = rulesOf(store);
  const bool caseSensitive = caseSensitiveIn(store);

  std::vector<std::string> messages =
      options.messagesGiven ? options.messages : readMessages(context.in, options.nullTerminated);
  for (size_t i = 0; i < messages.size(); ++i) {
    if (!raw) messages[i] = toPlugin(messages[i], "message " + std::to_string(i + 1));
  }

  Session session(context.options, store, context.err);
  for (size_t i = 0; i < messages.size(); ++i) {
    const std::string what = "message " + std::to_string(i + 1);
    const Delivery delivery = session.host().deliver(messages[i], options.incoming);
    if (options.trace && delivery.replaced) {
      std::string replayed = messages[i];
      applyRules(
          rules, replayed, [&] { return caseSensitive; },
          [&](size_t rule, const std::string& before, const std::string& after) {
            if (after == before) return;
            context.err << what << ": rule " << rule + 1 << ": \"" << displayText(before)
                        << "\" -> \"" << displayText(after) << "\"\n";
          });
      if (replayed != delivery.text) {
        context.err << what << ": the replayed rules give \"" << displayText(replayed)
                    << "\", not what the plug-in delivered\n";
      }
    }
    context.out << (raw ? delivery.text : fromPlugin(delivery.text, what))
                << (options.nullTerminated ? '\0' : '\n');
  }
  session.end();
  if (!options.rules.empty()) {
    restoreColumn(store, original, columnName(kColumnFrom));
    restoreColumn(store, original, columnName(kColumnTo));
    restoreColumn(store, original, columnName(kColumnType));
  }
  keepStore(context.options, store, false, context.err);
  return kExitOk;
}

// --- rules -------------------------------------------------------------------

namespace {

size_t ruleNumber(const std::string& text, size_t ruleCount) {
  size_t used = 0;
  long number = 0;
  try {
    number = std::stol(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || number < 1 ||
      static_cast<size_t>(number) > ruleCount) {
    throw UsageError("no rule " + text + ": the rules are numbered 1 to " +
                     std::to_string(ruleCount));
  }
  return static_cast<size_t>(number);
}

int rulesList(CommandContext& context, const Arguments& args) {
  if (args.size() != 1) throw UsageError("rules list takes no arguments");
  ConfigStore store = openStore(context.options);
  Session session(context.options, store, context.err);
  session.host().openSettings();
  const auto rows = session.plugin().windows().rows(session.host().ruleList());
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& cells = rows[i];
    context.out << i + 1 << '\t' << displayText(cells.at(0)) << '\t' << displayText(cells.at(1))
                << '\t' << kindOfTypeCell(cells.at(2)) << '\n';
  }
  session.end();
  keepStore(context.options, store, false, context.err);
  return kExitOk;
}

int rulesAdd(CommandContext& context, const Arguments& args) {
  if (args.size() < 3 || args.size() > 4) throw UsageError("usage: rules add FROM TO [word|perl]");
  const std::string type = args.size() == 4 ? args[3] : "word";
  if (type != "word" && type != "perl") {
    throw UsageError("rules add: the type is word or perl, not '" + type + "'");
  }
  const std::string from = toPlugin(args[1], "the rule's FROM");
  const std::string to = toPlugin(args[2], "the rule's TO");
  ConfigStore store = openStore(context.options);
  Session session(context.options, store, context.err);
  HostSimulator& host = session.host();
  host.openSettings();
  WindowSystem& windows = session.plugin().windows();
  const size_t before = windows.rows(host.ruleList()).size();
  host.setFieldValue(kElementFromField, from);
  host.setFieldValue(kElementToField, to);
  host.setFieldValue(kElementTypeChoice, storedType(type));
  host.press(kElementAddButton);
  const size_t after = windows.rows(host.ruleList()).size();
  session.end();
  if (after == before) {
    context.err << "quillmax-host: refused: a rule with the From \"" << args[1]
                << "\" is already listed (letter case aside)\n";
    keepStore(context.options, store, false, context.err);
    return kExitRefused;
  }
  context.out << "added rule " << after << '\n';
  keepStore(context.options, store, true, context.err);
  return kExitOk;
}

int rulesDelete(CommandContext& context, const Arguments& args) {
  if (args.size() < 2) throw UsageError("usage: rules delete N...");
  ConfigStore store = openStore(context.options);
  Session session(context.options, store, context.err);
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
  session.end();
  context.out << "deleted " << count - left << (count - left == 1 ? " rule\n" : " rules\n");
  keepStore(context.options, store, true, context.err);
  return kExitOk;
}

int rulesEdit(CommandContext& context, const Arguments& args) {
  if (args.size() != 2) throw UsageError("usage: rules edit N");
  ConfigStore store = openStore(context.options);
  Session session(context.options, store, context.err);
  HostSimulator& host = session.host();
  host.openSettings();
  WindowSystem& windows = session.plugin().windows();
  const size_t number = ruleNumber(args[1], windows.rows(host.ruleList()).size());
  windows.selectRow(host.ruleList(), static_cast<int>(number - 1), true);
  host.press(kElementEditButton);
  context.out << "From: " << displayText(host.fieldValue(kElementFromField)) << '\n'
              << "To: " << displayText(host.fieldValue(kElementToField)) << '\n'
              << "Type: " << displayText(host.fieldValue(kElementTypeChoice)) << '\n';
  session.end();
  keepStore(context.options, store, false, context.err);
  return kExitOk;
}

}  // namespace

int runRules(CommandContext& context, const Arguments& args) {
  if (args.empty() || wantsHelp(args)) {
    context.out << kRulesUsage;
    return args.empty() ? kExitUsage : kExitOk;
  }
  if (args[0] == "list") return rulesList(context, args);
  if (args[0] == "add") return rulesAdd(context, args);
  if (args[0] == "delete") return rulesDelete(context, args);
  if (args[0] == "edit") return rulesEdit(context, args);
  throw UsageError("unknown rules command '" + args[0] + "'");
}

// --- check -------------------------------------------------------------------

int runCheck(CommandContext& context, const Arguments& args) {
  if (wantsHelp(args)) {
    context.out << kCheckUsage;
    return kExitOk;
  }
  if (!args.empty()) throw UsageError("check takes no arguments");
  const ConfigStore store = openStore(context.options);
  const RuleStore rules = rulesOf(store);
  const auto findings = checkRules(rules, caseSensitiveIn(store));
  for (const RuleFinding& finding : findings) {
    context.out << "rule " << finding.rule + 1 << ": " << displayText(rules.From[finding.rule]);
    if (finding.pass > 0) context.out << ": pass " << finding.pass;
    context.out << ": " << finding.reason;
    if (finding.offset >= 0) context.out << " at offset " << finding.offset;
    context.out << '\n';
  }
  if (!findings.empty()) return kExitRefused;
  context.out << rules.From.size() << " rules: every pattern compiles\n";
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
  if (wantsHelp(args)) {
    context.out << kPageUsage;
    return kExitOk;
  }
  if (!args.empty()) throw UsageError("page takes no arguments");
  ConfigStore store = openStore(context.options);
  Session session(context.options, store, context.err);
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
  session.end();
  keepStore(context.options, store, false, context.err);
  return kExitOk;
}

// --- set ---------------------------------------------------------------------

int runSet(CommandContext& context, const Arguments& args) {
  if (wantsHelp(args)) {
    context.out << kSetUsage;
    return kExitOk;
  }
  if (args.size() != 2) throw UsageError("usage: set incoming|case-sensitive on|off");
  const char* column = nullptr;
  if (args[0] == "incoming") column = columnName(kColumnIncoming);
  if (args[0] == "case-sensitive") column = columnName(kColumnCaseSensitive);
  if (!column) throw UsageError("set: unknown option '" + args[0] + "'");
  if (args[1] != "on" && args[1] != "off") throw UsageError("set: the value is on or off");
  ConfigStore store = openStore(context.options);
  store.setInteger(column, args[1] == "on" ? 1 : 0);
  keepStore(context.options, store, true, context.err);
  context.out << args[0] << ": " << args[1] << '\n';
  return kExitOk;
}

}  // namespace qmxhost
