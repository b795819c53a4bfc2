#include "correction/rule_check.h"

#include "correction/rule_application.h"
#include "correction/rule_loop.h"
#include "regex/regex_replacer.h"

namespace qmx {

namespace {

void checkPattern(size_t rule, int pass, const std::string& pattern,
                  std::vector<RuleFinding>& findings) {
  RegexReplacer replacer;
  replacer.setPattern(pattern);
  if (replacer.prepare()) return;
  const char* error = replacer.lastErrorText();
  findings.push_back({FindingKind::PatternRefused, rule, pass, error ? error : "refused",
                      replacer.lastErrorOffset()});
}

}  // namespace

std::vector<RuleFinding> checkRules(const RuleStore& rules, bool caseSensitive) {
  std::vector<RuleFinding> findings;
  walkRules(rules, [&](size_t rule, RuleKind kind, const std::string& from, const std::string&) {
    if (kind == RuleKind::Word) {
      for (int pass = 1; pass <= kWordRulePasses; ++pass) {
        checkPattern(rule, pass, wordRulePattern(pass, from, caseSensitive), findings);
      }
    } else if (kind == RuleKind::Perl) {
      checkPattern(rule, 0, from, findings);
    }
  });
  return findings;
}

}  // namespace qmx
