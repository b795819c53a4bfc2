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
  kPatternRefused,  // a pattern the pattern library never compiles
  kTooManyGroups,   // more groups than a match can report
  // Warnings: what the rule does is almost never what was meant.
  kEmptyFrom,
  kNoClosingDelimiter,         // a Perl From whose expression is therefore empty
  kMatchesEmpty,               // a Perl pattern that can match the empty text
  kWordWithPatternCharacters,  // a word From holding characters a pattern reads
  kTemplateReference,          // a word To holding "$" and a digit or "&"
  kCaseNotIgnored,             // a letter outside A-Z where matching ignores case
  kNotWordCharacter,           // \b, \w and kin beside a letter outside A-Z
  kSameFrom,                   // the From of an earlier rule, letter case aside
  kMissingGroup,               // a Perl To naming a group the pattern lacks
  kPerlLookingWord,            // a word From written as a Perl pattern
};

// The pass of a finding about the rule as a whole.
constexpr int kWholeRule = -1;

struct RuleFinding {
  FindingKind kind;
  size_t rule;         // index into the rules
  int pass;            // a word rule's pass, 0 to 2; kWholeRule for the rule as a whole
  std::string reason;  // for a refused pattern the library's message
  int offset;          // where in what the user typed the fault stands; -1 where nowhere in
                       // particular
};

// Every finding about one rule on its own, `rule` being its index, with the
// case option at `caseSensitive`. A rule of neither kind never runs and has
// none. A word rule's refused pattern is placed in its From; a refusal all
// three passes share is one finding, of pass 0.
std::vector<RuleFinding> checkRule(size_t rule, RuleKind kind, const std::string& from,
                                   const std::string& to, bool caseSensitive);

// Every finding about `rules`, in rule order: each rule's own, and whether
// an earlier rule that runs has its From.
std::vector<RuleFinding> checkRules(const RuleStore& rules, bool caseSensitive);

}  // namespace qmx
