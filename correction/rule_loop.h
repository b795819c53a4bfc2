// The loop over the rule list: the plug-in runs it over every message it
// corrects, and quillmax-host runs the same code to trace and check rules,
// so that the tools see the rules exactly as the plug-in applies them.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "rules/rule_columns.h"

namespace qmx {

// How a rule runs, by its Type: a word rule, a Perl rule, or a rule of
// neither kind, which is kept but never applied.
enum class RuleKind { Word, Perl, Inert };

RuleKind ruleKind(const std::string& type);

using RuleVisitor =
    std::function<void(size_t rule, RuleKind kind, const std::string& from, const std::string& to)>;

// Visits the rules of `rules` in list order with copies of their From and
// To. The bound is read anew before each rule: the plug-in walks the store
// the editor changes, and a host may call back into the plug-in while a rule
// runs, so the list may change under a visit without the walk running past
// its end.
void walkRules(const RuleStore& rules, const RuleVisitor& visit);

using RuleObserver =
    std::function<void(size_t rule, const std::string& before, const std::string& after)>;

// Applies the rules of `rules` to `text` in list order, as the plug-in
// corrects a message: each word rule asks `caseSensitive` once for each of
// its three passes, each Perl rule runs its own pattern, rules of neither
// kind are passed over. `observer`, when set, is called after each rule
// that ran, with the text before and after it (the same text when the rule
// changed nothing).
void applyRules(const RuleStore& rules, std::string& text,
                const std::function<bool()>& caseSensitive, const RuleObserver& observer = nullptr);

}  // namespace qmx
