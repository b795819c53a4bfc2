#include "correction/rule_application.h"

#include "correction/literal_word_rule.h"
#include "regex/regex_replacer.h"
#include "shell/element_ids.h"
#include "shell/host_services.h"

const char kWordSeparatorGroup[] = "([.,!?-]+| |\r|\n)";

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
    if (from.size() <= kMaxLiteralWordLength) {
      applyLiteralWordRule(text, from, to, passCaseSensitive);
      return;
    }
  }
  RegexReplacer replacer;
  for (int pass = 1; pass <= kWordRulePasses; ++pass) {
    text = replacer.substitute(wordRulePattern(pass, from, passCaseSensitive[pass - 1]),
                               wordRuleTemplate(pass, to), text, 0);
  }
}

void applyWordRule(std::string& text, const std::string& from, const std::string& to) {
  // The option is read for every pass, never cached: the user may change it
  // on the settings page at any time.
  applyWordRule(text, from, to, [] { return getConfigInt(COLUMN_CASE_SENSITIVE) != 0; });
}

void applyPerlRule(std::string& text, const std::string& from, const std::string& to) {
  RegexReplacer replacer;
  text = replacer.substitute(from, to, text, 0);
}
