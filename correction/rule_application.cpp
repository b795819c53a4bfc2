#include "correction/rule_application.h"

#include "correction/literal_word_rule.h"
#include "correction/word_separators.h"
#include "regex/regex_replacer.h"
#include "rules/rule_columns.h"

namespace qmx {

RuleKind ruleKind(const std::string& type) {
  switch (readTypeNumber(type)) {
    case kTypeWord:
      return RuleKind::kWord;
    case kTypePerl:
      return RuleKind::kPerl;
    default:
      return RuleKind::kInert;
  }
}

std::string wordRulePattern(int pass, const std::string& from, bool caseSensitive) {
  const std::string separator = kWordSeparatorGroup;
  std::string pattern;
  switch (pass) {
    case 0:
      pattern = "/(" + separator + from + separator + "|^" + from + "$)/";
      break;
    case 1:
      pattern = "/(^" + from + separator + ")/";
      break;
    default:
      pattern = "/(" + separator + from + "$)/";
      break;
  }
  if (!caseSensitive) pattern += 'i';
  return pattern;
}

std::string wordRuleTemplate(int pass, const std::string& to) {
  switch (pass) {
    case 0:
      return "$2" + to + "$3";
    case 1:
      return to + "$2";
    default:
      return "$2" + to;
  }
}

void applyWordRule(std::string& text, const std::string& from, const std::string& to,
                   CaseSource caseSensitive) {
  const PassCases cases = PassCases::ask(caseSensitive);
  const WordRoad road = wordRoadOf(from);
  // Every pass needs a literal From itself in the text, a fixed-length one
  // standing as a word; where it does not, no pass can match. (A caseless
  // look finds every place an exact one would.)
  if (road.literal && !containsLiteral(text, from, cases.allSensitive())) return;
  if (road.checkedAsWord && !occursAsWord(text, from, cases.allSensitive())) return;
  RegexReplacer replacer;
  runWordRule(text, from, to, cases, road, replacer);
}

void applyPerlRule(std::string& text, const std::string& from, const std::string& to) {
  RegexReplacer replacer;
  runPerlRule(text, from, to, replacer);
}

void runWordRule(std::string& text, const std::string& from, const std::string& to,
                 const PassCases& cases, const WordRoad& road, RegexReplacer& replacer) {
  if (road.literal) {
    applyLiteralWordRule(text, from, to, cases);
    return;
  }
  // Passes 0 and 2 can match only where a separator begins (or at the very
  // start), and a separator that begins inside a run of . , ! ? - can end
  // only where one from the run's start can; From's own match does not
  // depend on where the separator began.
  const RegexReplacer::StartCandidates separatorStarts = nextSeparatorStart;
  for (int pass = 0; pass < kWordRulePasses; ++pass) {
    const std::string pattern = wordRulePattern(pass, from, cases.sensitive(pass));
    const std::string replacement = wordRuleTemplate(pass, to);
    // Pass 1 is anchored at the start, where PCRE tries one position only.
    text = road.separatorStarts && pass != 1
               ? replacer.substitute(pattern, replacement, text, 0, separatorStarts)
               : replacer.substitute(pattern, replacement, text, 0);
  }
}

void runPerlRule(std::string& text, const std::string& from, const std::string& to,
                 RegexReplacer& replacer) {
  text = replacer.substitute(from, to, text, 0);
}

}  // namespace qmx
