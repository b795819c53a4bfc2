#include "correction/rule_loop.h"

#include "correction/rule_application.h"

namespace qmx {

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

void walkRules(const RuleStore& rules, const RuleVisitor& visit) {
  for (size_t i = 0; i < rules.From.size(); ++i) {
    const std::string from = rules.From.at(i);
    const std::string to = rules.To.at(i);
    visit(i, ruleKind(rules.Type.at(i)), from, to);
  }
}

void applyRules(const RuleStore& rules, std::string& text,
                const std::function<bool()>& caseSensitive, const RuleObserver& observer) {
  walkRules(rules, [&](size_t rule, RuleKind kind, const std::string& from, const std::string& to) {
    if (kind == RuleKind::Inert) return;
    // The copy is made only for an observer: the plug-in runs without one.
    const std::string before = observer ? text : std::string();
    if (kind == RuleKind::Word) {
      applyWordRule(text, from, to, caseSensitive);
    } else {
      applyPerlRule(text, from, to);
    }
    if (observer) observer(rule, before, text);
  });
}

}  // namespace qmx
