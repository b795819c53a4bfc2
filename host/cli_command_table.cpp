#include "host/cli_command_table.h"

namespace qmxhost {
namespace {

const char kProgramSynopsis[] =
    "usage: quillmax-host [--store FILE] [--plugin PATH | --dll PATH] [--log] [--raw] COMMAND\n"
    "                     ...\n"
    "       quillmax-host --version | --help | help COMMAND\n"
    "\n"
    "Runs the Quillmax plug-in the way the messenger does.\n"
    "\n"
    "commands:\n";

const char kProgramOptions[] =
    "\n"
    "options:\n"
    "  --store FILE      the configuration store (JSON). A command that changes it\n"
    "                    creates a missing one; one that only reads it refuses a missing\n"
    "                    one. Without it, the store named by QUILLMAX_STORE; without\n"
    "                    either, a built-in store of Polish rules, never saved.\n"
    "  --plugin PATH     the plug-in to load (default: Quillmax.so beside this program,\n"
    "                    or where make install put it, ../lib/quillmax)\n"
    "  --dll PATH        run the Windows DLL itself (Quillmax.dll) under CPU emulation\n"
    "  --log             show the plug-in's log lines on standard error\n"
    "  --raw             pass message bytes unchanged (Windows-1250), without UTF-8\n"
    "                    conversion\n"
    "  --version         show this program's version and the plug-in's\n"
    "\n"
    "Options go before the command; 'quillmax-host help COMMAND' tells more of each.\n"
    "Exit status: 0 success; 1 an action refused, a check failed, or the plug-in failed\n"
    "(a message left uncorrected, a fault); 2 a usage error, unreadable input or store,\n"
    "a store or output that could not be written, or memory that ran out; 3 (--dll) a\n"
    "limit of the emulator running the DLL, not a fault of the DLL.\n";

const char kCorrectDetails[] =
    "Passes each MESSAGE, or else each line of standard input, through the plug-in as an\n"
    "outgoing message and prints the text the messenger delivers, one per line, as soon\n"
    "as it is delivered. Options end at the first MESSAGE or at '--'.\n"
    "  --incoming   as incoming messages: corrected only when 'set incoming on'\n"
    "  --null       messages and results end in a NUL byte instead of a line feed\n"
    "  --trace      show on standard error each rule that changed a message\n"
    "  --stats      at the end, on standard error, one line a rule: how many messages\n"
    "               it changed (\"changed no message\" for a rule that never fired)\n"
    "  --rule FROM TO TYPE\n"
    "               one more rule for this run only (TYPE: word or perl); it never\n"
    "               reaches the store. What 'check' would say of it is shown as warnings.\n"
    "A line holding a character with no Windows-1250 form (an emoji, say) is passed\n"
    "through uncorrected, with one line on standard error naming the line, the\n"
    "character and its column; the run goes on and exits 1 at the end. A message the\n"
    "plug-in was to correct but left alone (it gave no result) stops the run with exit\n"
    "status 1.\n";

const char kRulesListDetails[] =
    "One line a rule: its number, From, To and type (word, perl, or other for a type\n"
    "the plug-in keeps but never applies), separated by tabs, as the plug-in's editor\n"
    "lists them.\n";

const char kRulesAddDetails[] =
    "Adds the rule at the end of the list through the plug-in's editor, as its Add\n"
    "button does (TYPE word by default). The editor refuses a From already listed,\n"
    "letter case aside: exit status 1. What 'check' would say of the new rule is\n"
    "shown as warnings; the rule is added all the same.\n";

const char kRulesDeleteDetails[] =
    "Deletes the rules numbered N through the plug-in's editor: selected, then its\n"
    "Delete button, whose confirmation is answered yes once for all of them.\n";

const char kRulesEditDetails[] =
    "With --from, --to or --type, changes rule N in place (options may also come\n"
    "before N). A From that another rule has already, letter case aside, is refused\n"
    "with exit status 1, as the editor's Add refuses it; what 'check' would say of\n"
    "the changed rule is shown as warnings.\n"
    "Without them, shows rule N as the editor's Edit button fills in its fields:\n"
    "From, To and the type's number (0 word, 1 perl). The editor itself has no way\n"
    "to change a rule: its Edit only copies one into the fields.\n";

const char kRulesMoveDetails[] =
    "Rule N becomes rule M; the rules between move up or down by one. Order matters:\n"
    "each rule works on what the rules before it left.\n";

const char kRulesExportDetails[] =
    "Writes the stored rules, UTF-8, to FILE (replaced), or to standard output without\n"
    "FILE or with '-'. The format is --format, or else json for a FILE ending in\n"
    ".json, tsv for any other:\n"
    "  tsv   one rule a line: From, To and its type (word or perl), separated by tabs;\n"
    "        a tab, line break or backslash inside a text is written \\t, \\n, \\r, \\\\\n"
    "  json  an array of {\"from\", \"to\", \"type\"} objects\n"
    "A rule of a type the plug-in keeps but never applies is written with its type's\n"
    "number. An export imported into an empty store gives the same rules.\n";

const char kRulesImportDetails[] =
    "Adds the rules of FILE ('-': standard input) at the end of the list, in one\n"
    "session of the plug-in's editor, through its Add, so that a From already listed\n"
    "(letter case aside) is skipped as Add refuses it. The format is --format, or\n"
    "else json for a FILE ending in .json, autocorrect for .dat, tsv for any other\n"
    "(see 'rules export'). A file that cannot be read is refused whole, and nothing\n"
    "is added.\n"
    "  autocorrect  an office suite's autocorrect list (a .dat zip holding\n"
    "               DocumentList.xml): each entry becomes a word rule whose From has\n"
    "               its pattern characters escaped, so that \"np.\" matches only \"np.\".\n"
    "Skipped, one line each on standard error: a rule whose text has a character with\n"
    "no Windows-1250 form; from an autocorrect list, a wildcard entry, a replacement\n"
    "holding \"$\" and a digit or \"&\" (a To has no escape for them) or formatted text.\n"
    "Ends with one line: how many rules were added and how many skipped, by reason.\n";

const char kCheckDetails[] =
    "Judges the stored rules as the plug-in runs them, one line a finding, the rule's\n"
    "number first. Faults: a pattern that never compiles (for a word rule, each of\n"
    "its three), more groups than a match can report. Warnings, for what is almost\n"
    "always a mistake: an empty From, a Perl From without its closing delimiter or\n"
    "that can match the empty text, a word From holding pattern characters, a word To\n"
    "holding \"$\" and a digit or \"&\", a Perl To naming a group the pattern lacks, a\n"
    "word From written as a Perl pattern, the From of an earlier rule (letter case\n"
    "aside), and letters outside A-Z where case is ignored or beside \\b and \\w (the\n"
    "pattern library knows only A-Z). Exits 1 when there is any finding.\n";

const char kPageDetails[] =
    "Shows the plug-in's configuration columns and its settings page, element by element.\n";

const char kSetDetails[] =
    "Without arguments shows both options. 'incoming': correct incoming messages too.\n"
    "'case-sensitive': word rules match letter case exactly (otherwise they ignore\n"
    "the case of A-Z only).\n";

const std::vector<CommandEntry> kCommands = {
    {"correct",
     "[--incoming] [--null] [--trace] [--stats] [--rule FROM TO TYPE]... [--] [MESSAGE...]",
     "correct messages: the arguments, or each line of standard input",
     kCorrectDetails,
     ArgumentStyle::kOptionsFirst,
     {{"--incoming", ""},
      {"--null", ""},
      {"--trace", ""},
      {"--stats", ""},
      {"--rule", "FROM TO TYPE"}},
     0,
     kAnyNumber,
     StoreNeed::kRead,
     runCorrect},
    {"rules list",
     "",
     "list the rules, numbered from 1",
     kRulesListDetails,
     ArgumentStyle::kOperandsOnly,
     {},
     0,
     0,
     StoreNeed::kRead,
     runRulesList},
    {"rules add",
     "FROM TO [word|perl]",
     "add a rule at the end, through the plug-in's editor",
     kRulesAddDetails,
     ArgumentStyle::kOperandsOnly,
     {},
     2,
     3,
     StoreNeed::kChange,
     runRulesAdd},
    {"rules delete",
     "N...",
     "delete rules, through the plug-in's editor",
     kRulesDeleteDetails,
     ArgumentStyle::kOperandsOnly,
     {},
     1,
     kAnyNumber,
     StoreNeed::kChange,
     runRulesDelete},
    {"rules edit",
     "N [--from FROM] [--to TO] [--type word|perl]",
     "change a rule in place, or show it as the plug-in's editor does",
     kRulesEditDetails,
     ArgumentStyle::kOptionsAnywhere,
     {{"--from", "FROM"}, {"--to", "TO"}, {"--type", "TYPE"}},
     1,
     1,
     StoreNeed::kChange,
     runRulesEdit},
    {"rules move",
     "N M",
     "move rule N to place M; the others keep their order",
     kRulesMoveDetails,
     ArgumentStyle::kOperandsOnly,
     {},
     2,
     2,
     StoreNeed::kChange,
     runRulesMove},
    {"rules export",
     "[--format tsv|json] [FILE]",
     "write the rules to FILE, or standard output, as tab-separated text or JSON",
     kRulesExportDetails,
     ArgumentStyle::kOptionsAnywhere,
     {{"--format", "FORMAT"}},
     0,
     1,
     StoreNeed::kRead,
     runRulesExport},
    {"rules import",
     "[--format tsv|json|autocorrect] FILE",
     "add the rules of FILE through the plug-in's editor",
     kRulesImportDetails,
     ArgumentStyle::kOptionsAnywhere,
     {{"--format", "FORMAT"}},
     1,
     1,
     StoreNeed::kChange,
     runRulesImport},
    {"check",
     "",
     "judge the stored rules: faults and likely mistakes",
     kCheckDetails,
     ArgumentStyle::kOperandsOnly,
     {},
     0,
     0,
     StoreNeed::kRead,
     runCheck},
    {"page",
     "",
     "show the settings page as the plug-in declares it",
     kPageDetails,
     ArgumentStyle::kOperandsOnly,
     {},
     0,
     0,
     StoreNeed::kRead,
     runPage},
    {"set",
     "[incoming|case-sensitive on|off]",
     "show the options, or change one",
     kSetDetails,
     ArgumentStyle::kOperandsOnly,
     {},
     0,
     2,
     StoreNeed::kChange,
     runSet},
};

std::string usageLine(const CommandEntry& entry) {
  std::string line = entry.name;
  if (entry.synopsis[0] != '\0') line += std::string(" ") + entry.synopsis;
  return line;
}

bool inGroup(const CommandEntry& entry, const std::string& group) {
  const std::string name = entry.name;
  return name.size() > group.size() && name.compare(0, group.size(), group) == 0 &&
         name[group.size()] == ' ';
}

}  // namespace

const CommandEntry* findCommand(const std::string& name) {
  for (const CommandEntry& entry : kCommands) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

bool isCommandGroup(const std::string& name) {
  for (const CommandEntry& entry : kCommands) {
    if (inGroup(entry, name)) return true;
  }
  return false;
}

std::string subcommandNames(const std::string& group) {
  std::vector<std::string> names;
  for (const CommandEntry& entry : kCommands) {
    if (inGroup(entry, group)) names.push_back(std::string(entry.name).substr(group.size() + 1));
  }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += names[i];
  }
  return text;
}

std::string programHelp() {
  std::string help = kProgramSynopsis;
  for (const CommandEntry& entry : kCommands) {
    help += "  " + usageLine(entry) + "\n      " + entry.summary + "\n";
  }
  return help + kProgramOptions;
}

std::string commandHelp(const CommandEntry& entry) {
  return "usage: quillmax-host [OPTIONS] " + usageLine(entry) + "\n" + entry.details;
}

std::string groupHelp(const std::string& group) {
  std::string help;
  for (const CommandEntry& entry : kCommands) {
    if (!inGroup(entry, group)) continue;
    help += std::string(help.empty() ? "usage: " : "       ") + "quillmax-host [OPTIONS] " +
            usageLine(entry) + "\n";
  }
  help += "\n";
  for (const CommandEntry& entry : kCommands) {
    if (inGroup(entry, group)) help += "  " + std::string(entry.name) + ": " + entry.summary + "\n";
  }
  return help + "\n'quillmax-host help " + group + " COMMAND' tells more of each.\n";
}

}  // namespace qmxhost
