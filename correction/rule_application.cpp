#include "correction/rule_application.h"

#include <cstring>

#include "correction/literal_word_rule.h"
#include "correction/word_separators.h"
#include "regex/regex_replacer.h"
#include "rules/rule_columns.h"

namespace qmx {

namespace {

// Escapes that stand for a byte, a set of bytes or an assertion about the
// bytes at hand. Not: digits (references, or octal ones that look alike),
// \g \k (references), \K \G (a match's start), \Q \E (quoting that could
// swallow the separator after From), \c \x \o (which read on into the
// next bytes), nor the rarer ones.
bool isPlainEscape(char letter) {
  const bool alnum = (letter >= '0' && letter <= '9') || (letter >= 'a' && letter <= 'z') ||
                     (letter >= 'A' && letter <= 'Z');
  return letter != '\0' && (!alnum || std::strchr("dDwWsShHvVbBtnrfea", letter) != nullptr);
}

// Reads the escape at from[at] ("\"), leaving `at` on its last byte.
bool readPlainEscape(const std::string& from, size_t& at) {
  if (at + 1 >= from.size() || !isPlainEscape(from[at + 1])) return false;
  ++at;
  return true;
}

// Reads the class opening at from[at], leaving `at` on its "]". No POSIX
// item or nested "[", whose reading differs between forms.
bool readClass(const std::string& from, size_t& at) {
  ++at;
  if (at < from.size() && from[at] == '^') ++at;
  if (at < from.size() && from[at] == ']') ++at;  // a "]" first is a member
  for (; at < from.size(); ++at) {
    const char c = from[at];
    if (c == ']') return true;
    if (c == '[') return false;
    if (c == '\\' && !readPlainEscape(from, at)) return false;
  }
  return false;  // not closed: it would run on into the separator
}

// Reads the group opening at from[at], leaving `at` on its last byte:
// capturing, non-capturing and atomic groups and lookaheads. Not: verbs,
// callouts, comments, conditions, recursion and subroutine calls, named
// groups and references, lookbehinds, branch resets, and option settings,
// which last to the end of the enclosing group and so reach the separator
// after From and the pattern's other branch.
bool readGroupOpening(const std::string& from, size_t& at) {
  if (at + 1 >= from.size()) return false;
  if (from[at + 1] == '*') return false;
  if (from[at + 1] != '?') return true;
  if (at + 2 >= from.size() || std::strchr(":>=!", from[at + 2]) == nullptr ||
      from[at + 2] == '\0') {
    return false;
  }
  at += 2;
  return true;
}

}  // namespace

bool leavesWordPatternAlone(const std::string& from) {
  // A quantifier first would repeat the separator before From.
  if (!from.empty() && std::string("?*+{").find(from[0]) != std::string::npos) return false;
  int depth = 0;
  for (size_t at = 0; at < from.size(); ++at) {
    switch (from[at]) {
      case '\\':
        if (!readPlainEscape(from, at)) return false;
        break;
      case '[':
        if (!readClass(from, at)) return false;
        break;
      case '(':
        if (!readGroupOpening(from, at)) return false;
        ++depth;
        break;
      case ')':
        // Would close the pattern's own group.
        if (depth == 0) return false;
        --depth;
        break;
      case '|':
        // Outside a group, a branch of the pattern's own.
        if (depth == 0) return false;
        break;
      default:
        break;
    }
  }
  return depth == 0;
}

RuleKind ruleKind(const std::string& type) {
  switch (readTypeNumber(type)) {
    case TYPE_WORD:
      return RuleKind::Word;
    case TYPE_PERL:
      return RuleKind::Perl;
    default:
      return RuleKind::Inert;
  }
}

std::string wordRulePattern(int pass, const std::string& from, bool caseSensitive) {
  const std::string separator = kWordSeparatorGroup;
  std::string pattern;
  switch (pass) {
    case 1:
      pattern = "/(" + separator + from + separator + "|^" + from + "$)/";
      break;
    case 2:
      pattern = "/(^" + from + separator + ")/";
      break;
    default:
      pattern = "/(" + separator + from + "$)/";
      break;
  }
  if (!caseSensitive) pattern += 'i';
  return pattern;
}

std::string wordRuleTemplate(int pass, const std::string& to) {
  switch (pass) {
    case 1:
      return "$2" + to + "$3";
    case 2:
      return to + "$2";
    default:
      return "$2" + to;
  }
}

void applyWordRule(std::string& text, const std::string& from, const std::string& to,
                   const std::function<bool()>& caseSensitive, WordRuleEngine engine) {
  // Nothing calls the host between the passes, so asking for the option
  // three times up front shows the host the same calls as asking before
  // each pass.
  const bool passCaseSensitive[kWordRulePasses] = {caseSensitive(), caseSensitive(),
                                                   caseSensitive()};
  if (engine == WordRuleEngine::Fast && isPlainLiteral(from)) {
    // Every pass needs F itself in the text; when it is not there, no pass
    // can match, and the three compilations and scans are skipped.
    const bool exact = passCaseSensitive[0] && passCaseSensitive[1] && passCaseSensitive[2];
    if (!containsLiteral(text, from, exact)) return;
    applyLiteralWordRule(text, from, to, passCaseSensitive);
    return;
  }
  RegexReplacer replacer;
  runWordRulePatterns(text, from, to, passCaseSensitive, replacer, engine);
}

void applyPerlRule(std::string& text, const std::string& from, const std::string& to) {
  RegexReplacer replacer;
  runPerlRule(text, from, to, replacer);
}

void runWordRulePatterns(std::string& text, const std::string& from, const std::string& to,
                         const bool caseSensitive[kWordRulePasses], RegexReplacer& replacer,
                         WordRuleEngine engine) {
  // Passes 1 and 3 can match only where a separator begins (or at the very
  // start), and a separator that begins inside a run of . , ! ? - can end
  // only where one from the run's start can; F's own match does not depend
  // on where the separator began. So the search may skip every start
  // inside a run, where PCRE would scan the rest of the run again at each
  // one.
  const bool skipRunInsides = engine == WordRuleEngine::Fast && leavesWordPatternAlone(from);
  const RegexReplacer::StartCandidates separatorStarts = nextSeparatorStart;
  for (int pass = 1; pass <= kWordRulePasses; ++pass) {
    const std::string pattern = wordRulePattern(pass, from, caseSensitive[pass - 1]);
    const std::string replacement = wordRuleTemplate(pass, to);
    // Pass 2 is anchored at the start, where PCRE tries one position only.
    text = skipRunInsides && pass != 2
               ? replacer.substitute(pattern, replacement, text, 0, separatorStarts)
               : replacer.substitute(pattern, replacement, text, 0);
  }
}

void runPerlRule(std::string& text, const std::string& from, const std::string& to,
                 RegexReplacer& replacer) {
  text = replacer.substitute(from, to, text, 0);
}

}  // namespace qmx
