#include "correction/word_road.h"

#include <algorithm>
#include <cstring>

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

bool isPatternCharacter(char c) {
  return c != '\0' && std::strchr(kPatternCharacters, c) != nullptr;
}

bool isPlainLiteral(const std::string& from) {
  return !from.empty() && std::none_of(from.begin(), from.end(), isPatternCharacter);
}

bool isFixedLengthFrom(const std::string& from) {
  return !from.empty() && from.size() <= kLongestWordCheck &&
         std::none_of(from.begin(), from.end(),
                      [](char c) { return c != '.' && isPatternCharacter(c); });
}

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

WordRoad wordRoadOf(const std::string& from) {
  WordRoad road;
  road.literal = isPlainLiteral(from);
  road.checkedAsWord = !road.literal && isFixedLengthFrom(from);
  road.separatorStarts = !road.literal && leavesWordPatternAlone(from);
  return road;
}

}  // namespace qmx
