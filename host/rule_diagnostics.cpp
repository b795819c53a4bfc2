#include "host/rule_diagnostics.h"

#include "correction/rule_application.h"
#include "regex/regex_replacer.h"

namespace qmxhost {

const char kColumnFrom[] = "Rewordix/From";
const char kColumnTo[] = "Rewordix/To";
const char kColumnType[] = "Rewordix/Type";
const char kColumnIncoming[] = "Rewordix/Przychodzace";
const char kColumnCaseSensitive[] = "Rewordix/CaseSensitive";

RuleStore rulesOf(const ConfigStore& store) {
  return parseRuleColumns(store.text(kColumnFrom).value_or(""), store.text(kColumnTo).value_or(""),
                          store.text(kColumnType).value_or(""));
}

bool caseSensitiveIn(const ConfigStore& store) {
  return store.integer(kColumnCaseSensitive).value_or(0) != 0;
}

namespace {

void checkPattern(size_t rule, int pass, const std::string& pattern,
                  std::vector<PatternFault>& faults) {
  RegexReplacer replacer;
  replacer.setPattern(pattern);
  if (replacer.prepare()) return;
  const char* error = replacer.lastErrorText();
  faults.push_back({rule, pass, error ? error : "refused", replacer.lastErrorOffset()});
}

}  // namespace

std::vector<PatternFault> checkRules(const RuleStore& rules, bool caseSensitive) {
  std::vector<PatternFault> faults;
  for (size_t i = 0; i < rules.From.size(); ++i) {
    switch (readTypeNumber(rules.Type[i])) {
      case TYPE_WORD:
        for (int pass = 1; pass <= kWordRulePasses; ++pass) {
          checkPattern(i, pass, wordRulePattern(pass, rules.From[i], caseSensitive), faults);
        }
        break;
      case TYPE_PERL:
        checkPattern(i, 0, rules.From[i], faults);
        break;
      default:
        break;
    }
  }
  return faults;
}

std::string traceRules(const RuleStore& rules, const std::string& text, bool caseSensitive,
                       const RuleChange& changed) {
  std::string current = text;
  for (size_t i = 0; i < rules.From.size(); ++i) {
    const std::string before = current;
    switch (readTypeNumber(rules.Type[i])) {
      case TYPE_WORD:
        applyWordRule(current, rules.From[i], rules.To[i], [&] { return caseSensitive; });
        break;
      case TYPE_PERL:
        applyPerlRule(current, rules.From[i], rules.To[i]);
        break;
      default:
        break;
    }
    if (current != before && changed) changed(i, before, current);
  }
  return current;
}

}  // namespace qmxhost
