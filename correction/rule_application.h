// Applying one rule to a message text.
#pragma once

#include <functional>
#include <string>

#include "correction/pass_cases.h"
#include "correction/word_road.h"

namespace qmx {

class RegexReplacer;

// How a rule runs, by its Type: a word rule, a Perl rule, or a rule of
// neither kind, which is kept but never applied.
enum class RuleKind { kWord, kPerl, kInert };

RuleKind ruleKind(const std::string& type);

// The pattern of word-rule pass `pass` (0: From between two separators or as
// the whole text; 1: at the start, before a separator; 2: at the end, after a
// separator). `from` is inserted as pattern text, unescaped. Without
// `caseSensitive` the pattern ignores the case of A-Z.
std::string wordRulePattern(int pass, const std::string& from, bool caseSensitive);

// The template of word-rule pass `pass`: `to` with the separators the pass
// keeps around it.
std::string wordRuleTemplate(int pass, const std::string& to);

// Replaces `from` as a whole word in `text` by `to`, in three passes, asking
// `caseSensitive` once for each pass (the plug-in answers from the host's
// case option, caseSensitiveOption), on the road its From calls for. A pass
// whose pattern does not compile leaves the text as it is.
void applyWordRule(std::string& text, const std::string& from, const std::string& to,
                   CaseSource caseSensitive);

// Replaces every match of the delimited pattern `from` in `text` by the
// template `to`. A pattern that does not compile leaves the text unchanged.
void applyPerlRule(std::string& text, const std::string& from, const std::string& to);

// The work of the two above once the case option is read, through a
// replacer of the caller's (one that keeps its compiled patterns beyond a
// message, say): a word rule's three passes on `road` (every road gives the
// same text; the caller has passed over a text that the road's literal or
// place as a word rules out), a Perl rule's pattern.
void runWordRule(std::string& text, const std::string& from, const std::string& to,
                 const PassCases& cases, const WordRoad& road, RegexReplacer& replacer);
void runPerlRule(std::string& text, const std::string& from, const std::string& to,
                 RegexReplacer& replacer);

}  // namespace qmx
