// The replacement template language: "$0" to "$9" and "$&" stand for a
// captured group's text; everything else is copied as it stands.
#pragma once

#include <cstddef>
#include <string>

namespace qmx {

// The longest text a substitution makes: no replacement may make its
// result longer than its subject or than this, whichever is more. Without a
// bound a careless template (a hundred "$0", a group holding the rest of
// the text) multiplies a message, and a word rule's three passes, or rules
// one after another, multiply it again; with it, a text never grows past
// 16 MB however many substitutions it goes through.
constexpr size_t kLongestResult = 16 * 1024 * 1024;

// True when a substitution over `subjectSize` bytes that has written
// `written` bytes and stands at `position` of its subject may replace the
// match [matchStart, matchEnd) by an expansion of `expansion` bytes: were
// it to stop right after, copying the rest of the subject as it stands, its
// result would be within the bound. A replacement that does not fit ends
// the substitution where it stands, as a spent step budget does.
inline bool replacementFits(size_t written, size_t position, size_t matchStart, size_t matchEnd,
                            size_t expansion, size_t subjectSize) {
  const size_t limit = subjectSize > kLongestResult ? subjectSize : kLongestResult;
  const size_t kept = (matchStart - position) + (subjectSize - matchEnd);
  return written <= limit && kept <= limit - written && expansion <= limit - written - kept;
}

// Walks `replacementTemplate`: `literal(c)` for each byte copied as it
// stands, `group(i)` for each reference to group i below `groupCount` (the
// number of groups the match reports, the whole match counting as group 0).
// A reference to a group at or beyond `groupCount` stands for nothing. Only
// one digit is read ("$12" is group 1 then "2"), and there is no escape
// character.
template <typename Literal, typename Group>
void walkTemplate(const std::string& replacementTemplate, size_t groupCount, Literal literal,
                  Group group) {
  const size_t size = replacementTemplate.size();
  for (size_t i = 0; i < size; ++i) {
    const char c = replacementTemplate[i];
    if (c == '$' && i + 1 < size) {
      const char next = replacementTemplate[i + 1];
      if ((next >= '0' && next <= '9') || next == '&') {
        const size_t number = next == '&' ? 0 : static_cast<size_t>(next - '0');
        if (number < groupCount) group(number);
        ++i;
        continue;
      }
    }
    literal(c);
  }
}

// Appends the expansion of `replacementTemplate` to `out`; `appendGroup(out,
// i)` appends group i's text. Inserted texts are not scanned again.
template <typename AppendGroup>
void appendExpansion(std::string& out, const std::string& replacementTemplate, size_t groupCount,
                     AppendGroup appendGroup) {
  walkTemplate(
      replacementTemplate, groupCount, [&out](char c) { out += c; },
      [&out, &appendGroup](size_t number) { appendGroup(out, number); });
}

// The length of that expansion, with `groupSize(i)` the length of group i.
template <typename GroupSize>
size_t expansionSize(const std::string& replacementTemplate, size_t groupCount,
                     GroupSize groupSize) {
  size_t size = 0;
  walkTemplate(
      replacementTemplate, groupCount, [&size](char) { ++size; },
      [&size, &groupSize](size_t number) { size += groupSize(number); });
  return size;
}

}  // namespace qmx
