// Which rules of a rule base cannot change a message, found from the
// literals their matches need: one automaton over the literals of every
// rule, scanned once per message, instead of running every rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "correction/literal_automaton.h"
#include "correction/literal_presence.h"
#include "regex/required_literals.h"
#include "rules/rule_columns.h"

namespace qmx {

// What finds the literals of a bare expression compiled with some options:
// requiredLiterals, or a stand-in with the same contract.
using LiteralAnalysis = std::function<std::optional<std::vector<RequiredLiteral>>(
    const std::string& expression, uint32_t options)>;

// Built from a rule base, and to be built again whenever the rule base
// changes; rule i of the index is rule i of the store it was built from.
//
// A word rule with a plain-literal From needs that literal (caseless when
// any of its passes is); a word rule with a pattern From needs what the
// three pass patterns need; a Perl rule what its expression needs. Rules
// whose needs cannot be proven (the analysis gives up, or fails with an
// exception) always run.
class RulePrefilter {
 public:
  // Knows no rule: every rule may change the text.
  RulePrefilter() = default;
  // Each expression is read by `analyse`, once.
  explicit RulePrefilter(const RuleStore& rules, const LiteralAnalysis& analyse = requiredLiterals);

  // The literals to count in each message (a LiteralPresence over it).
  const LiteralAutomaton& automaton() const { return automaton_; }

  // False only when rule `rule` cannot change a text in which `presence`
  // finds none of the literals the rule needs. `caseSensitive` holds the
  // three answers to the case option that a word rule's passes run with;
  // other rules ignore it. A rule beyond the rule base it was built from
  // may always change the text.
  bool mayChange(size_t rule, const bool caseSensitive[3], const LiteralPresence& presence) const;

  size_t ruleCount() const { return rules_.size(); }
  // Heap bytes held, the automaton's included.
  size_t memoryBytes() const;

 private:
  // A range of ids_, any of which the rule needs; kAlways: no filter.
  struct Needs {
    static constexpr uint32_t kAlways = UINT32_MAX;
    uint32_t begin = 0;
    uint32_t count = kAlways;
  };
  // A word rule's needs when some pass ignores case, and when every pass
  // matches case exactly; a Perl rule has the same needs in both.
  struct RuleNeeds {
    Needs folded;
    Needs exact;
  };

  bool met(const Needs& needs, const LiteralPresence& presence) const;

  std::vector<RuleNeeds> rules_;
  std::vector<LiteralAutomaton::Id> ids_;
  LiteralAutomaton automaton_;
};

}  // namespace qmx
