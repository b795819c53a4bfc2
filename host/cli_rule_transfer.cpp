// quillmax-host rules export and rules import: the rule list to and from
// files (tab-separated text, JSON) and the autocorrect lists of office
// suites. An import adds through the plug-in's own editor, so that its
// duplicate check decides, as it does for a rule added by hand.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <utility>
#include <vector>

#include "correction/word_road.h"
#include "host/autocorrect_list.h"
#include "host/cli_commands.h"
#include "host/escape_controls.h"
#include "host/rule_diagnostics.h"
#include "host/rule_transfer.h"
#include "host/text_codec.h"
#include "rules/rule_types.h"

namespace qmxhost {

using namespace qmx;

namespace {

enum class Format { kTsv, kJson, kAutocorrect };

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// --format, or else what the file's name says: .json, .dat, anything else
// tab-separated text.
Format formatOf(const CommandLine& line, const std::string& file, bool importing) {
  if (const Arguments* given = line.last("--format")) {
    const std::string& name = (*given)[0];
    if (name == "tsv") return Format::kTsv;
    if (name == "json") return Format::kJson;
    if (name == "autocorrect" && importing) return Format::kAutocorrect;
    throw UsageError("the format is tsv or json" + std::string(importing ? " or autocorrect" : "") +
                     ", not '" + name + "'");
  }
  if (endsWith(file, ".json")) return Format::kJson;
  if (endsWith(file, ".dat") && importing) return Format::kAutocorrect;
  return Format::kTsv;
}

std::string readInput(const std::string& file, std::istream& in) {
  if (file == "-") return std::string(std::istreambuf_iterator<char>(in), {});
  std::ifstream stream(file, std::ios::binary);
  std::string content;
  if (stream) content.assign(std::istreambuf_iterator<char>(stream), {});
  if (!stream && !stream.eof()) {
    const std::string why = std::strerror(errno);
    throw UsageError("cannot read " + file + ": " + why);
  }
  return content;
}

// "word", "perl", or a type's number, as a transferred rule names its type.
std::string typeName(const std::string& stored) {
  const int number = readTypeNumber(stored);
  const RuleType* known = ruleTypeOf(number);
  return known ? known->word : std::to_string(number);
}

// The type's number as the editor's type field takes it. Throws
// TransferError naming the rule's place for anything else.
std::string storedType(const TransferredRule& rule) {
  if (const RuleType* known = ruleTypeNamed(rule.type)) return std::to_string(known->number);
  const bool number = !rule.type.empty() &&
                      rule.type.find_first_not_of("0123456789") == std::string::npos &&
                      rule.type.size() < 10;
  if (number) return std::to_string(readTypeNumber(rule.type));
  throw TransferError(rule.place + ": the type is word or perl, not '" + rule.type + "'");
}

// A rule on its way into the editor, or the reason it cannot go.
struct Candidate {
  std::string from, to, type;  // Windows-1250
  std::string place;
  std::string skipped;  // why it is skipped; empty: it goes to the editor
  std::string reason;   // the kind of reason, for the summary
};

void skip(Candidate& candidate, std::string why, std::string reason) {
  candidate.skipped = std::move(why);
  candidate.reason = std::move(reason);
}

// `text` for the plug-in, or an empty result with the candidate skipped.
bool convertText(Candidate& candidate, const std::string& text, const char* what,
                 std::string& converted) {
  if (text.find("\r\n") != std::string::npos) {
    skip(candidate, std::string(what) + " holds CR LF, which ends a rule in the stored column",
         "with CR LF");
    return false;
  }
  try {
    converted = utf8ToCp1250(text);
    return true;
  } catch (const TextCodecError& error) {
    skip(candidate,
         std::string(what) + " holds \"" + text.substr(error.offset(), error.length()) +
             "\", which has no Windows-1250 form",
         "with no Windows-1250 form");
    return false;
  }
}

Candidate candidateOf(const TransferredRule& rule) {
  Candidate candidate;
  candidate.place = rule.place;
  candidate.type = storedType(rule);
  if (convertText(candidate, rule.from, "From", candidate.from)) {
    convertText(candidate, rule.to, "To", candidate.to);
  }
  return candidate;
}

// Each pattern character a backslash, so that the typed text matches only
// itself: «np.» only «np.».
std::string escapedPatternText(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c != '\0' && std::strchr(kPatternCharacters, c)) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// "$1" or "$&" in a To: the template would put in a part of the match,
// and it has no escape to say a plain dollar.
std::string templateReference(const std::string& to) {
  for (size_t at = to.find('$'); at != std::string::npos && at + 1 < to.size();
       at = to.find('$', at + 1)) {
    const char next = to[at + 1];
    if (next == '&' || (next >= '0' && next <= '9')) return to.substr(at, 2);
  }
  return std::string();
}

Candidate candidateOf(const AutocorrectEntry& entry, size_t number) {
  Candidate candidate;
  candidate.place = "entry " + std::to_string(number) + " \"" + entry.typed + "\"";
  candidate.type = "0";
  const std::string reference = templateReference(entry.replacement);
  if (entry.formatted) {
    skip(candidate, "its replacement is formatted text, kept outside the list",
         "with formatted text");
  } else if (entry.typed.empty()) {
    skip(candidate, "it has no text to replace", "with no text");
  } else if (endsWith(entry.typed, ".*") || entry.typed.compare(0, 2, ".*") == 0) {
    skip(candidate, "a wildcard entry, which a word rule cannot express", "with a wildcard");
  } else if (!reference.empty()) {
    skip(candidate,
         "its replacement holds \"" + reference +
             "\", which a rule's To reads as part of the match (it has no escape)",
         "with $ and a digit or & in To");
  } else if (convertText(candidate, escapedPatternText(entry.typed), "From", candidate.from)) {
    convertText(candidate, entry.replacement, "To", candidate.to);
  }
  return candidate;
}

std::vector<Candidate> candidatesIn(const std::string& content, Format format) {
  std::vector<Candidate> candidates;
  if (format == Format::kAutocorrect) {
    const std::vector<AutocorrectEntry> entries = readAutocorrectList(content);
    for (size_t i = 0; i < entries.size(); ++i) {
      candidates.push_back(candidateOf(entries[i], i + 1));
    }
    return candidates;
  }
  for (const TransferredRule& rule :
       format == Format::kJson ? readJson(content) : readTsv(content)) {
    candidates.push_back(candidateOf(rule));
  }
  return candidates;
}

std::string rulesCounted(size_t count) {
  return std::to_string(count) + (count == 1 ? " rule" : " rules");
}

}  // namespace

int runRulesExport(CommandContext& context, const CommandLine& line) {
  const std::string file = line.operands.empty() ? "-" : line.operands[0];
  const Format format = formatOf(line, file, false);
  const RuleStore rules = rulesOf(context.store().store());
  context.stage = "exporting the rules";
  std::vector<TransferredRule> exported;
  for (size_t i = 0; i < rules.From.size(); ++i) {
    exported.push_back({terminalText(rules.From[i], "rule " + std::to_string(i + 1)),
                        terminalText(rules.To[i], "rule " + std::to_string(i + 1)),
                        typeName(rules.Type[i]), ""});
  }
  const std::string text = format == Format::kJson ? writeJson(exported) : writeTsv(exported);
  if (file == "-") {
    context.out << text;
    return kExitOk;
  }
  std::ofstream stream(file, std::ios::binary | std::ios::trunc);
  stream << text;
  stream.close();
  if (!stream) {
    const std::string why = std::strerror(errno);
    throw UsageError("cannot write " + file + ": " + why);
  }
  context.out << "exported " << rulesCounted(exported.size()) << " to " << file << '\n';
  return kExitOk;
}

int runRulesImport(CommandContext& context, const CommandLine& line) {
  const std::string& file = line.operands[0];
  const Format format = formatOf(line, file, true);
  context.stage = "reading " + file;
  std::vector<Candidate> candidates;
  try {
    candidates = candidatesIn(readInput(file, context.in), format);
  } catch (const TransferError& error) {
    throw UsageError((file == "-" ? "standard input" : file) + ": " + error.what());
  }

  EditorSession editor(context, "adding the rules");
  size_t added = 0;
  for (Candidate& candidate : candidates) {
    if (!candidate.skipped.empty()) continue;
    if (editor.add(candidate.from, candidate.to, candidate.type)) {
      ++added;
    } else {
      skip(candidate, "a rule with this From is already listed (letter case aside)",
           "already listed");
    }
  }
  editor.end(context);
  if (added > 0) editor.save(context);

  std::vector<std::pair<std::string, size_t>> reasons;
  for (const Candidate& candidate : candidates) {
    if (candidate.skipped.empty()) continue;
    context.err << "quillmax-host: "
                << escapeControls(candidate.place + ": skipped: " + candidate.skipped) << '\n';
    auto counted = reasons.begin();
    while (counted != reasons.end() && counted->first != candidate.reason) ++counted;
    if (counted == reasons.end()) {
      reasons.emplace_back(candidate.reason, 1);
    } else {
      ++counted->second;
    }
  }
  std::string summary =
      "added " + rulesCounted(added) + ", skipped " + std::to_string(candidates.size() - added);
  for (size_t i = 0; i < reasons.size(); ++i) {
    summary += (i == 0 ? ": " : ", ") + std::to_string(reasons[i].second) + " " + reasons[i].first;
  }
  context.out << summary << '\n';
  return kExitOk;
}

}  // namespace qmxhost
