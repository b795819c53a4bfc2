#include "correction/rule_check.h"

#include <string_view>
#include <utility>

#include "correction/literal_word_rule.h"
#include "correction/rule_application.h"
#include "regex/regex_replacer.h"

namespace qmx {

namespace {

using Findings = std::vector<RuleFinding>;

void add(Findings& findings, FindingKind kind, size_t rule, int pass, std::string reason,
         int offset = -1) {
  findings.push_back({kind, rule, pass, std::move(reason), offset});
}

// One pattern as the plug-in compiles and runs it. Only a Perl rule's own
// pattern (pass 0) is asked about empty matches: a word rule's patterns
// need a separator, or the whole text, around From.
void checkPattern(size_t rule, int pass, const std::string& pattern, Findings& findings) {
  RegexReplacer replacer;
  replacer.setPattern(pattern);
  if (!replacer.prepare()) {
    const char* error = replacer.lastErrorText();
    add(findings, FindingKind::PatternRefused, rule, pass, error ? error : "refused",
        replacer.lastErrorOffset());
    return;
  }
  const int groups = replacer.groupCount();
  if (groups > RegexReplacer::kReportedGroups) {
    add(findings, FindingKind::TooManyGroups, rule, pass,
        std::to_string(groups) + " groups; a match using group " +
            std::to_string(RegexReplacer::kReportedGroups + 1) + " or above ends the rule");
  }
  if (pass == 0 && replacer.mayMatchEmpty()) {
    add(findings, FindingKind::MatchesEmpty, rule, pass,
        "the pattern can match the empty text, and wherever it does, To goes in without "
        "replacing anything");
  }
}

// The texts, each in double quotes, one space apart.
std::string quoted(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts) out += (out.empty() ? "\"" : " \"") + text + "\"";
  return out;
}

void addOnce(std::vector<std::string>& texts, std::string text) {
  for (const std::string& held : texts) {
    if (held == text) return;
  }
  texts.push_back(std::move(text));
}

// The pattern characters `from` holds outside an escape, each once: a
// character after a backslash was escaped on purpose.
std::vector<std::string> unescapedPatternCharacters(const std::string& from) {
  const std::string_view special = kPatternCharacters;
  std::vector<std::string> found;
  for (size_t i = 0; i < from.size(); ++i) {
    if (from[i] == '\\' && i + 1 < from.size()) {
      ++i;
    } else if (special.find(from[i]) != std::string_view::npos) {
      addOnce(found, std::string(1, from[i]));
    }
  }
  return found;
}

// The group references of template `to`, read as the template is expanded.
std::vector<std::string> templateReferences(const std::string& to) {
  std::vector<std::string> found;
  for (size_t i = 0; i + 1 < to.size(); ++i) {
    const char next = to[i + 1];
    if (to[i] == '$' && ((next >= '0' && next <= '9') || next == '&')) {
      addOnce(found, to.substr(i, 2));
      ++i;
    }
  }
  return found;
}

void checkWordRule(size_t rule, const std::string& from, const std::string& to, bool caseSensitive,
                   Findings& findings) {
  if (from.empty()) {
    add(findings, FindingKind::EmptyFrom, rule, 0,
        "empty From: To goes in between separators that meet, before a leading one, after a "
        "trailing one, and into an empty message");
  }
  // A plain literal runs without the pattern engine (applyWordRule), so no
  // limit of the engine's applies to it.
  if (!isPlainLiteral(from)) {
    const std::vector<std::string> special = unescapedPatternCharacters(from);
    if (!special.empty()) {
      add(findings, FindingKind::PatternCharacters, rule, 0,
          "From holds pattern characters " + quoted(special) +
              ": a word rule's From is a pattern (a backslash before one makes it plain)");
    }
    for (int pass = 1; pass <= kWordRulePasses; ++pass) {
      checkPattern(rule, pass, wordRulePattern(pass, from, caseSensitive), findings);
    }
  }
  const std::vector<std::string> references = templateReferences(to);
  if (!references.empty()) {
    add(findings, FindingKind::TemplateReference, rule, 0,
        "To holds " + quoted(references) +
            ": To is a template, in which these stand for parts of the match (the separators "
            "around the word, or the word with them)");
  }
}

void checkPerlRule(size_t rule, const std::string& from, Findings& findings) {
  if (from.empty()) {
    add(findings, FindingKind::EmptyFrom, rule, 0, "empty From: the expression is empty");
  } else if (from.find(from[0], 1) == std::string::npos) {
    add(findings, FindingKind::NoClosingDelimiter, rule, 0,
        "no closing delimiter: the first character, \"" + from.substr(0, 1) +
            "\", never occurs again, so the expression is empty");
  }
  checkPattern(rule, 0, from, findings);
}

}  // namespace

std::vector<RuleFinding> checkRule(size_t rule, RuleKind kind, const std::string& from,
                                   const std::string& to, bool caseSensitive) {
  Findings findings;
  if (kind == RuleKind::Word) checkWordRule(rule, from, to, caseSensitive, findings);
  if (kind == RuleKind::Perl) checkPerlRule(rule, from, findings);
  return findings;
}

std::vector<RuleFinding> checkRules(const RuleStore& rules, bool caseSensitive) {
  Findings findings;
  walkRules(rules, [&](size_t rule, RuleKind kind, const std::string& from, const std::string& to) {
    Findings found = checkRule(rule, kind, from, to, caseSensitive);
    findings.insert(findings.end(), found.begin(), found.end());
  });
  return findings;
}

}  // namespace qmx
