// The kinds of rule by their stored number, as the editor shows them and as
// quillmax-host names them: one table for the plug-in and its tools.
#pragma once

#include <string>

#include "rules/rule_columns.h"

namespace qmx {

struct RuleType {
  int number;            // the Type column's number
  const char* cellText;  // the editor's type column and choice (Windows-1250)
  const char* word;      // quillmax-host's name for it
};

// Every kind of rule that runs; a rule of another number is kept but never
// applied, and its type cell is empty.
constexpr RuleType kRuleTypes[] = {
    {kTypeWord, "S\xb3owo", "word"},  // "Słowo"
    {kTypePerl, "Perl", "perl"},
};

// The type of `number`; null for a number of neither kind.
const RuleType* ruleTypeOf(int number);
// The type quillmax-host calls `word`; null for an unknown word.
const RuleType* ruleTypeNamed(const std::string& word);

}  // namespace qmx
