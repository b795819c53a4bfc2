// A rule base shaped like a real Polish autocorrect list, and chat lines to
// correct with it: what the users who load hundreds or thousands of entries
// send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/workload.h"

namespace qmxbench {

// `wordRules` word rules and 10 Perl rules spread among them. Of the word
// rules, about 60 % restore missing diacritics («zolw» -> «żółw»), 25 % fix
// a misspelling (two letters swapped), 10 % have a dot or a hyphen in From
// (abbreviations such as «np.», «itd.», «m.in.», hyphenated words), and 2 %
// are two words. Froms are distinct; the generator is fixed.
std::vector<Rule> makeAutocorrectBase(size_t wordRules);

// A chat line of exactly `bytes` bytes: ordinary words with, now and then
// (about one word in six), a From of `rules` as the user typed it. `line`
// picks one of many different lines.
std::string makeChatLine(size_t bytes, const std::vector<Rule>& rules, uint64_t line);

}  // namespace qmxbench
