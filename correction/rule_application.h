// Applying one rule to a message text.
#pragma once

#include <functional>
#include <string>

namespace qmx {

class RegexReplacer;

// How a rule runs, by its Type: a word rule, a Perl rule, or a rule of
// neither kind, which is kept but never applied.
enum class RuleKind { Word, Perl, Inert };

RuleKind ruleKind(const std::string& type);

// A word rule runs as three substitutions; passes are numbered 1 to 3.
constexpr int kWordRulePasses = 3;

// The pattern of word-rule pass `pass` (1: From between two separators or as
// the whole text; 2: at the start, before a separator; 3: at the end, after a
// separator). `from` is inserted as pattern text, unescaped. Without
// `caseSensitive` the pattern ignores the case of A-Z.
std::string wordRulePattern(int pass, const std::string& from, bool caseSensitive);

// True when `from`, put into the word-rule patterns, leaves their structure
// alone and cannot tell where the separator before it began: its groups and
// classes close within it, a bar stands only inside a group, and it holds
// nothing that looks back at what the pattern matched before it or at where
// a match began (references, lookbehinds, \K, \G, verbs, callouts,
// conditions, recursion), nor an option setting, which would reach the
// separator after it and the patterns' other branch; nor does it begin with
// a quantifier, which would repeat the separator before it. Every match of
// the patterns then holds a match of `from` alone, and one that begins
// inside a run of separators has a match beginning at the run's start.
// Errs on the side of false.
bool leavesWordPatternAlone(const std::string& from);

// The template of word-rule pass `pass`: `to` with the separators the pass
// keeps around it.
std::string wordRuleTemplate(int pass, const std::string& to);

// How a word rule runs. Both give the same texts and ask the case option the
// same three times in a row; Patterns compiles and runs the three patterns
// always, Fast first skips a plain-literal From that does not occur in the
// text, and runs a plain literal that does without the pattern engine.
enum class WordRuleEngine { Fast, Patterns };

// Replaces `from` as a whole word in `text` by `to`, in three passes, asking
// `caseSensitive` once for each pass (the plug-in answers from the host's
// case option, caseSensitiveOption). A pass whose pattern does not compile
// leaves the text as it is.
void applyWordRule(std::string& text, const std::string& from, const std::string& to,
                   const std::function<bool()>& caseSensitive,
                   WordRuleEngine engine = WordRuleEngine::Fast);

// Replaces every match of the delimited pattern `from` in `text` by the
// template `to`. A pattern that does not compile leaves the text unchanged.
void applyPerlRule(std::string& text, const std::string& from, const std::string& to);

// The work of the two above once the case option is read, through a
// replacer of the caller's (one that keeps its compiled patterns beyond a
// message, say): the three patterns of a word rule, pass k (0-based) with
// `caseSensitive[k]`, the way `engine` runs them; a Perl rule's pattern.
void runWordRulePatterns(std::string& text, const std::string& from, const std::string& to,
                         const bool caseSensitive[kWordRulePasses], RegexReplacer& replacer,
                         WordRuleEngine engine = WordRuleEngine::Fast);
void runPerlRule(std::string& text, const std::string& from, const std::string& to,
                 RegexReplacer& replacer);

}  // namespace qmx
