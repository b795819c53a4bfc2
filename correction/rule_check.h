// What can be told of a rule base without a message: the findings of
// quillmax-host's `check`, judged on the rules as the plug-in's rule loop
// runs them. Each kind of finding is one check here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "rules/rule_columns.h"

namespace qmx {

enum class FindingKind {
  PatternRefused,  // a pattern the pattern library never compiles
};

struct RuleFinding {
  FindingKind kind;
  size_t rule;         // index into the rules
  int pass;            // a word rule's pass, 1 to 3; 0 for a Perl rule's own pattern
  std::string reason;  // for a refused pattern the library's message
  int offset;          // where in the pattern the fault stands; -1 where nowhere in particular
};

// Every finding about `rules`, in rule order, with the case option at
// `caseSensitive`. Rules of neither kind never run and are never reported.
std::vector<RuleFinding> checkRules(const RuleStore& rules, bool caseSensitive);

}  // namespace qmx
