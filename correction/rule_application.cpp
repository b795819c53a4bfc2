#include "correction/rule_application.h"

#include "correction/literal_word_rule.h"
#include "correction/word_separators.h"
#include "regex/regex_replacer.h"
#include "rules/rule_columns.h"

namespace qmx {

bool leavesWordPatternAlone(const std::string& from) {
  if (from.find_first_of("\\|()[]") != std::string::npos) return false;
  return from.empty() || std::string("?*+{").find(from[0]) == std::string::npos;
}

RuleKind ruleKind(const std::string& type) {
  switch (readTypeNumber(type)) {
    case TYPE_WORD:
      return RuleKind::Word;
    case TYPE_PERL:
      return RuleKind::Perl;
    default:
      return RuleKind::Inert;
  }
}

std::string wordRulePattern(int pass, const std::string& from, bool caseSensitive) {
  const std::string separator = kWordSeparatorGroup;
  std::string pattern;
  switch (pass) {
    case 1:
      pattern = "/(" + separator + from + separator + "|^" + from + "$)/";
      break;
    case 2:
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
    case 1:
      return "$2" + to + "$3";
    case 2:
      return to + "$2";
    default:
      return "$2" + to;
  }
}

void applyWordRule(std::string& text, const std::string& from, const std::string& to,
                   const std::function<bool()>& caseSensitive, WordRuleEngine engine) {
  // Nothing calls the host between the passes, so asking for the option
  // three times up front shows the host the same calls as asking before
  // each pass.
  const bool passCaseSensitive[kWordRulePasses] = {caseSensitive(), caseSensitive(),
                                                   caseSensitive()};
  if (engine == WordRuleEngine::Fast && isPlainLiteral(from)) {
    // Every pass needs F itself in the text; when it is not there, no pass
    // can match, and the three compilations and scans are skipped.
    const bool exact = passCaseSensitive[0] && passCaseSensitive[1] && passCaseSensitive[2];
    if (!containsLiteral(text, from, exact)) return;
    applyLiteralWordRule(text, from, to, passCaseSensitive);
    return;
  }
  RegexReplacer replacer;
  runWordRulePatterns(text, from, to, passCaseSensitive, replacer, engine);
}

void applyPerlRule(std::string& text, const std::string& from, const std::string& to) {
  RegexReplacer replacer;
  runPerlRule(text, from, to, replacer);
}

void runWordRulePatterns(std::string& text, const std::string& from, const std::string& to,
                         const bool caseSensitive[kWordRulePasses], RegexReplacer& replacer,
                         WordRuleEngine engine) {
  // Passes 1 and 3 can match only where a separator begins (or at the very
  // start), and a separator that begins inside a run of . , ! ? - can end
  // only where one from the run's start can; F's own match does not depend
  // on where the separator began. So the search may skip every start
  // inside a run, where PCRE would scan the rest of the run again at each
  // one.
  const bool skipRunInsides = engine == WordRuleEngine::Fast && leavesWordPatternAlone(from);
  const RegexReplacer::StartCandidates separatorStarts = nextSeparatorStart;
  for (int pass = 1; pass <= kWordRulePasses; ++pass) {
    const std::string pattern = wordRulePattern(pass, from, caseSensitive[pass - 1]);
    const std::string replacement = wordRuleTemplate(pass, to);
    // Pass 2 is anchored at the start, where PCRE tries one position only.
    text = skipRunInsides && pass != 2
               ? replacer.substitute(pattern, replacement, text, 0, separatorStarts)
               : replacer.substitute(pattern, replacement, text, 0);
  }
}

void runPerlRule(std::string& text, const std::string& from, const std::string& to,
                 RegexReplacer& replacer) {
  text = replacer.substitute(from, to, text, 0);
}

}  // namespace qmx
