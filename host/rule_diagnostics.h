// What the plug-in cannot say through its entry point: which rules PCRE
// refuses, and which rule changed a message. Runs the plug-in's own rule
// code, linked into the tool.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/config_store.h"
#include "rules/rule_store.h"

namespace qmxhost {

// The store's columns as the messenger names them.
extern const char kColumnFrom[];
extern const char kColumnTo[];
extern const char kColumnType[];
extern const char kColumnIncoming[];
extern const char kColumnCaseSensitive[];

// The rules the store holds, aligned as the plug-in aligns them at start.
RuleStore rulesOf(const ConfigStore& store);

// The case option as the store holds it.
bool caseSensitiveIn(const ConfigStore& store);

// A pattern PCRE refuses: for a Perl rule (pass 0) its own, for a word rule
// the pattern of pass 1, 2 or 3.
struct PatternFault {
  size_t rule;  // index into the rules
  int pass;
  std::string error;  // PCRE's message
  int offset;         // where in the expression PCRE stopped
};

// Every refused pattern of `rules`, in rule order. Rules of neither kind are
// never applied and never reported.
std::vector<PatternFault> checkRules(const RuleStore& rules, bool caseSensitive);

// Runs `rules` over `text` as the plug-in does and calls `changed` for each
// rule that changed the text, with the text before and after it.
using RuleChange =
    std::function<void(size_t rule, const std::string& before, const std::string& after)>;
std::string traceRules(const RuleStore& rules, const std::string& text, bool caseSensitive,
                       const RuleChange& changed);

}  // namespace qmxhost
