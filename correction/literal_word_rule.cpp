#include "correction/literal_word_rule.h"

#include <vector>

#include "correction/rule_application.h"
#include "correction/word_separators.h"
#include "regex/ascii_case.h"
#include "regex/template_expansion.h"

namespace qmx {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

// Finds where `from` occurs in `text`, calling `found(x)` for each start x
// until it returns false. Knuth-Morris-Pratt, so a long From over a long
// text stays linear.
template <typename Found>
void findOccurrences(const std::string& text, const std::string& from, bool caseSensitive,
                     Found found) {
  auto same = [caseSensitive](char a, char b) {
    return caseSensitive ? a == b : foldAsciiLetter(a) == foldAsciiLetter(b);
  };
  const size_t m = from.size();
  if (m == 0) return;
  std::vector<size_t> border(m, 0);
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && !same(from[i], from[k])) k = border[k - 1];
    if (same(from[i], from[k])) ++k;
    border[i] = k;
  }
  for (size_t i = 0, k = 0; i < text.size(); ++i) {
    while (k > 0 && !same(text[i], from[k])) k = border[k - 1];
    if (same(text[i], from[k])) ++k;
    if (k == m) {
      if (!found(i + 1 - m)) return;
      k = border[k - 1];
    }
  }
}

// occurs[x]: `from` starts at x.
std::vector<bool> occurrences(const std::string& text, const std::string& from,
                              bool caseSensitive) {
  std::vector<bool> occurs(text.size() + 1, false);
  findOccurrences(text, from, caseSensitive, [&occurs](size_t x) {
    occurs[x] = true;
    return true;
  });
  return occurs;
}

// runEnd[i]: for i inside a run of run separators, where that run ends.
std::vector<size_t> runEnds(const std::string& text) {
  std::vector<size_t> runEnd(text.size(), kNone);
  size_t end = text.size();
  for (size_t i = text.size(); i-- > 0;) {
    if (!isRunSeparator(text[i])) {
      end = i;
      continue;
    }
    runEnd[i] = end;
  }
  return runEnd;
}

// Where one separator starting at `at` ends: a run to its end, else one byte.
size_t separatorEnd(const std::vector<size_t>& runEnd, const std::string& text, size_t at) {
  return isRunSeparator(text[at]) ? runEnd[at] : at + 1;
}

// One match of a word-rule pattern: its groups as the pattern numbers them
// (0 the whole match, 1 the outer parenthesis, then the separators).
struct Match {
  size_t start = 0;
  size_t end = 0;
  size_t groupCount = 0;
  size_t groupStart[4] = {};
  size_t groupEnd[4] = {};
  bool groupSet[4] = {};

  void setGroup(size_t group, size_t from, size_t to) {
    groupStart[group] = from;
    groupEnd[group] = to;
    groupSet[group] = true;
  }
};

Match wholeMatch(size_t start, size_t end, size_t groupCount) {
  Match match;
  match.start = start;
  match.end = end;
  match.groupCount = groupCount;
  match.setGroup(0, start, end);
  match.setGroup(1, start, end);
  return match;
}

// The substitution loop with every match replaced, scanning the unchanged
// subject from the left; after the first replacement "^" no longer matches.
// None of these patterns matches the empty text, so each search starts
// where the previous match ended.
template <typename Find>
std::string substituteAll(const std::string& subject, const std::string& replacementTemplate,
                          Find find) {
  std::string out;
  size_t position = 0;
  bool notAtStart = false;
  Match match;
  while (find(position, notAtStart, match)) {
    const auto groupSize = [&match](size_t group) {
      return match.groupSet[group] ? match.groupEnd[group] - match.groupStart[group] : 0;
    };
    const size_t expansion = expansionSize(replacementTemplate, match.groupCount, groupSize);
    if (!replacementFits(out.size(), position, match.start, match.end, expansion, subject.size())) {
      break;
    }
    out.append(subject, position, match.start - position);
    appendExpansion(out, replacementTemplate, match.groupCount, [&](std::string& to, size_t group) {
      if (match.groupSet[group]) {
        to.append(subject, match.groupStart[group],
                  match.groupEnd[group] - match.groupStart[group]);
      }
    });
    position = match.end;
    notAtStart = true;
  }
  out.append(subject, position, std::string::npos);
  return out;
}

// "$" without multiline: at the end, or before a line feed that ends the text.
bool endsAt(const std::string& text, size_t at) {
  return at == text.size() || (at + 1 == text.size() && text[at] == '\n');
}

// Pass 1: S F S, or F as the whole text ("^F$").
std::string wholeWordPass(const std::string& text, const std::string& from,
                          const std::string& replacementTemplate, bool caseSensitive) {
  const size_t n = text.size();
  const size_t m = from.size();
  const std::vector<bool> occurs = occurrences(text, from, caseSensitive);
  const std::vector<size_t> runEnd = runEnds(text);
  // lastGood[i]: the largest x <= i where F starts and a separator follows it.
  std::vector<size_t> lastGood(n + 1, kNone);
  for (size_t x = 0; x <= n; ++x) {
    const bool good = occurs[x] && x + m < n && startsSeparator(text[x + m]);
    lastGood[x] = good ? x : (x > 0 ? lastGood[x - 1] : kNone);
  }
  auto find = [&](size_t position, bool notAtStart, Match& match) {
    for (size_t p = position; p < n; ++p) {
      // The first separator: a run is tried longest first, so F starts at
      // the last place within the run where F and a separator follow.
      size_t x = kNone;
      if (isRunSeparator(text[p])) {
        const size_t candidate = lastGood[runEnd[p]];
        if (candidate != kNone && candidate > p) x = candidate;
      } else if (isSingleSeparator(text[p]) && lastGood[p + 1] == p + 1) {
        x = p + 1;
      }
      if (x != kNone) {
        const size_t after = x + m;
        match = wholeMatch(p, separatorEnd(runEnd, text, after), 4);
        match.setGroup(2, p, x);
        match.setGroup(3, after, match.end);
        return true;
      }
      if (p == 0 && !notAtStart && occurs[0] && endsAt(text, m)) {
        match = wholeMatch(0, m, 2);
        return true;
      }
    }
    return false;
  };
  return substituteAll(text, replacementTemplate, find);
}

// Pass 2: F at the very start, then a separator ("^F S").
std::string leadingWordPass(const std::string& text, const std::string& from,
                            const std::string& replacementTemplate, bool caseSensitive) {
  const size_t m = from.size();
  const std::vector<bool> occurs = occurrences(text, from, caseSensitive);
  const std::vector<size_t> runEnd = runEnds(text);
  auto find = [&](size_t position, bool notAtStart, Match& match) {
    if (position != 0 || notAtStart) return false;
    if (!occurs[0] || m >= text.size() || !startsSeparator(text[m])) return false;
    match = wholeMatch(0, separatorEnd(runEnd, text, m), 3);
    match.setGroup(2, m, match.end);
    return true;
  };
  return substituteAll(text, replacementTemplate, find);
}

// Pass 3: a separator, then F at the very end ("S F$").
std::string trailingWordPass(const std::string& text, const std::string& from,
                             const std::string& replacementTemplate, bool caseSensitive) {
  const size_t n = text.size();
  const size_t m = from.size();
  const std::vector<bool> occurs = occurrences(text, from, caseSensitive);
  const std::vector<size_t> runEnd = runEnds(text);
  // Only two places can hold an F that "$" follows, the later one first.
  size_t ends[2] = {kNone, kNone};
  if (n >= m && occurs[n - m]) ends[0] = n - m;
  if (n >= m + 1 && text[n - 1] == '\n' && occurs[n - 1 - m]) ends[1] = n - 1 - m;
  auto find = [&](size_t position, bool, Match& match) {
    for (size_t p = position; p < n; ++p) {
      for (size_t x : ends) {
        if (x == kNone || x <= p) continue;
        const bool reached =
            isRunSeparator(text[p]) ? x <= runEnd[p] : isSingleSeparator(text[p]) && x == p + 1;
        if (!reached) continue;
        match = wholeMatch(p, x + m, 3);
        match.setGroup(2, p, x);
        return true;
      }
    }
    return false;
  };
  return substituteAll(text, replacementTemplate, find);
}

}  // namespace

bool containsLiteral(const std::string& text, const std::string& from, bool caseSensitive) {
  if (from.empty()) return true;
  bool found = false;
  findOccurrences(text, from, caseSensitive, [&found](size_t) {
    found = true;
    return false;
  });
  return found;
}

bool occursAsWord(const std::string& text, const std::string& from, bool caseSensitive) {
  const size_t n = text.size();
  const size_t m = from.size();
  for (size_t x = 0; x + m <= n; ++x) {
    if (x > 0 && !startsSeparator(text[x - 1])) continue;
    if (x + m < n && !startsSeparator(text[x + m])) continue;
    size_t i = 0;
    for (; i < m; ++i) {
      const char c = text[x + i];
      const bool same =
          from[i] == '.'
              ? c != '\n'
              : (caseSensitive ? c == from[i] : foldAsciiLetter(c) == foldAsciiLetter(from[i]));
      if (!same) break;
    }
    if (i == m) return true;
  }
  return false;
}

void applyLiteralWordRule(std::string& text, const std::string& from, const std::string& to,
                          const PassCases& cases) {
  text = wholeWordPass(text, from, wordRuleTemplate(0, to), cases.sensitive(0));
  text = leadingWordPass(text, from, wordRuleTemplate(1, to), cases.sensitive(1));
  text = trailingWordPass(text, from, wordRuleTemplate(2, to), cases.sensitive(2));
}

}  // namespace qmx
