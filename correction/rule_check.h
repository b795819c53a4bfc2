// What can be told of a rule base without a message: the findings of
// quillmax-host's `check`, judged on the rules as the plug-in's rule loop
// runs them. Each kind of finding is one check here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "correction/rule_loop.h"
#include "rules/rule_columns.h"

namespace qmx {

enum class FindingKind {
  // Faults: a part of the rule that never does what it says.
  PatternRefused,  // a pattern the pattern library never compiles
  TooManyGroups,   // more groups than a match can report
  // Warnings: what the rule does is almost never what was meant.
  EmptyFrom,
  NoClosingDelimiter,  // a Perl From whose expression is therefore empty
  MatchesEmpty,        // a Perl pattern that can match the empty text
  PatternCharacters,   // a word From holding characters a pattern reads
  TemplateReference,   // a word To holding "$" and a digit or "&"
};

struct RuleFinding {
  FindingKind kind;
  size_t rule;         // index into the rules
  int pass;            // a word rule's pass, 1 to 3; 0 for the rule as a whole
  std::string reason;  // for a refused pattern the library's message
  int offset;          // where in the pattern the fault stands; -1 where nowhere in particular
};

// Every finding about one rule, `rule` being its index, with the case
// option at `caseSensitive`. A rule of neither kind never runs and has none.
std::vector<RuleFinding> checkRule(size_t rule, RuleKind kind, const std::string& from,
                                   const std::string& to, bool caseSensitive);

// Every finding about `rules`, in rule order.
std::vector<RuleFinding> checkRules(const RuleStore& rules, bool caseSensitive);

}  // namespace qmx
