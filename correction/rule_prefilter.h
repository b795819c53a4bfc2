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
#include "correction/pass_cases.h"
#include "regex/required_literals.h"

namespace qmx {

// What finds the literals of a bare expression compiled with some options:
// requiredLiterals, or a stand-in with the same contract.
using LiteralAnalysis = std::function<std::optional<std::vector<RequiredLiteral>>(
    const std::string& expression, uint32_t options)>;

// The literals a rule needs: a range of the prefilter's literal ids, any
// of which the rule needs present in a text before it can change it.
struct Needs {
  static constexpr uint32_t kAlways = UINT32_MAX;
  uint32_t begin = 0;
  uint32_t count = kAlways;  // kAlways: nothing is proven, the rule always runs
};

// A word rule's needs when some pass ignores case, and when every pass
// matches case exactly; a Perl rule has the same needs in both.
struct RuleNeeds {
  Needs folded;
  Needs exact;
};

struct PreparedRule;

// Which rules of a prepared rule base cannot change a message.
//
// A word rule with a plain-literal From needs that literal (caseless when
// any of its passes is); a word rule whose From leaves the patterns alone
// needs what the From alone needs; any other word rule what its three pass
// patterns need; a Perl rule what its expression needs. Rules whose needs
// cannot be proven (the analysis gives up, or fails) always run.
class RulePrefilter {
 public:
  // Knows no rule: every rule may change the text.
  RulePrefilter() = default;
  // Works out the needs of every rule of `rules` (which it records in each
  // rule) with `analyse`.
  RulePrefilter(std::vector<PreparedRule>& rules, const LiteralAnalysis& analyse);

  // The literals to count in each message (a LiteralPresence over it).
  const LiteralAutomaton& automaton() const { return automaton_; }

  // False only when a rule with `needs` cannot change a text in which
  // `presence` finds none of the literals it needs. `cases` are the answers a
  // word rule's passes run with; other rules ignore them.
  // Inline: the rule loop asks it of every rule of every message.
  bool mayChange(const RuleNeeds& needs, const PassCases& cases,
                 const LiteralPresence& presence) const {
    return (cases.anyIgnoring() && met(needs.folded, presence)) ||
           (cases.anySensitive() && met(needs.exact, presence));
  }

  // Heap bytes held, the automaton's included.
  size_t memoryBytes() const;

 private:
  bool met(const Needs& needs, const LiteralPresence& presence) const {
    if (needs.count == Needs::kAlways) return true;
    for (uint32_t i = needs.begin; i < needs.begin + needs.count; ++i) {
      if (presence.occurs(ids_[i])) return true;
    }
    return false;
  }

  std::vector<LiteralAutomaton::Id> ids_;
  LiteralAutomaton automaton_;
};

}  // namespace qmx
