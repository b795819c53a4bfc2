// The replacement template language: "$0" to "$9" and "$&" stand for a
// captured group's text; everything else is copied as it stands.
#pragma once

#include <cstddef>
#include <string>

namespace qmx {

// Appends the expansion of `replacementTemplate` to `out`. `groupCount` is
// the number of groups the match reports (the whole match counting as group
// 0); `appendGroup(out, i)` appends group i's text, for i below
// `groupCount`. A reference to a group at or beyond `groupCount` expands to
// nothing. Only one digit is read ("$12" is group 1 then "2"), there is no
// escape character, and inserted texts are not scanned again.
template <typename AppendGroup>
void appendExpansion(std::string& out, const std::string& replacementTemplate, size_t groupCount,
                     AppendGroup appendGroup) {
  const size_t size = replacementTemplate.size();
  for (size_t i = 0; i < size; ++i) {
    const char c = replacementTemplate[i];
    if (c == '$' && i + 1 < size) {
      const char next = replacementTemplate[i + 1];
      if ((next >= '0' && next <= '9') || next == '&') {
        const size_t group = next == '&' ? 0 : static_cast<size_t>(next - '0');
        if (group < groupCount) appendGroup(out, group);
        ++i;
        continue;
      }
    }
    out += c;
  }
}

}  // namespace qmx
