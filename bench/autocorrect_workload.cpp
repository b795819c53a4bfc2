#include "bench/autocorrect_workload.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <utility>

namespace qmxbench {
namespace {

// Real abbreviations first; the rest of the dotted Froms are made up in
// their shape.
const std::pair<const char*, const char*> kAbbreviations[] = {
    {"np.",
     "na przyk\xb3"
     "ad"},
    {"itd.", "i tak dalej"},
    {"itp.", "i tym podobne"},
    {"m.in.",
     "mi\xea"
     "dzy innymi"},
    {"ad.", "adres"},
    {"tzn.", "to znaczy"},
    {"tj.", "to jest"},
    {"wg.",
     "wed\xb3"
     "ug"},
    {"godz.", "godzina"},
    {"p.n.e.", "przed nasz\xb9 er\xb9"},
};

// The Perl rules users add to such a list.
const Rule kPerlRules[] = {
    {"/ +([,.!?])/", "$1", 1},
    {"/([!?])\\1+/", "$1", 1},
    {"/(\\d+) ?zl\\b/i", "$1 z\xb3", 1},
    {"/\\s{2,}/", " ", 1},
    {"/\\bwogole\\b/i", "w og\xf3le", 1},
    {"/\\b(\\d+) ?proc\\b/", "$1%", 1},
    {"/\\.{4,}/", "...", 1},
    {"/\\bnie(wiem|moge|ma)\\b/i", "nie $1", 1},
    {"/,(\\S)/", ", $1", 1},
    {"/\\bjakby co\\b/i", "jakby co\x9c", 1},
};

std::string swapTwoLetters(std::string word, Random& random) {
  if (word.size() < 3) return word + word.back();
  const size_t at = random.below(word.size() - 1);
  std::swap(word[at], word[at + 1]);
  return word;
}

Rule wordRule(size_t index, Random& random) {
  const std::string proper = markedWord(random);
  switch (index % 50) {
    case 3:
    case 13:
    case 23:
      // A made-up abbreviation: a stem cut short («godz.»)...
      return {stripDiacritics(proper).substr(0, 2 + random.below(3)) + ".", proper, 0};
    case 33:
      // ...or the initials of two words («m.in.»).
      return {stripDiacritics(proper).substr(0, 1) + "." +
                  stripDiacritics(markedWord(random)).substr(0, 2) + ".",
              proper, 0};
    case 43:
      return {stripDiacritics(proper) + "-" + stripDiacritics(markedWord(random)), proper, 0};
    case 7: {
      const std::string second = markedWord(random);
      return {stripDiacritics(proper) + " " + stripDiacritics(second), proper + " " + second, 0};
    }
    default:
      break;
  }
  if (index % 4 == 1) return {swapTwoLetters(stripDiacritics(proper), random), proper, 0};
  return {stripDiacritics(proper), proper, 0};
}

}  // namespace

std::vector<Rule> makeAutocorrectBase(size_t wordRules) {
  Random random(0x5eed0003);
  std::vector<Rule> words;
  std::set<std::string> froms;
  for (const auto& abbreviation : kAbbreviations) {
    words.push_back({abbreviation.first, abbreviation.second, 0});
    froms.insert(abbreviation.first);
  }
  while (words.size() < wordRules) {
    Rule rule = wordRule(words.size(), random);
    if (rule.from.size() < 3 || !froms.insert(rule.from).second) continue;
    words.push_back(std::move(rule));
  }
  words.resize(wordRules);
  // The Perl rules stand among the word rules, as users add them over time.
  std::vector<Rule> rules;
  const size_t perlRules = std::size(kPerlRules);
  const size_t spacing = std::max<size_t>(1, words.size() / perlRules);
  size_t perl = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    if (perl < perlRules && i == perl * spacing) rules.push_back(kPerlRules[perl++]);
    rules.push_back(words[i]);
  }
  return rules;
}

std::string makeChatLine(size_t bytes, const std::vector<Rule>& rules, uint64_t line) {
  Random random(0x5eed0004 + line * 7919 + bytes);
  // Ordinary sentences, some of whose words the user typed as a From.
  const std::string filler = fillerText(2 * bytes + 16, random);
  std::string text;
  for (size_t at = 0; at < filler.size() && text.size() < bytes;) {
    const size_t space = std::min(filler.find(' ', at), filler.size());
    const Rule* rule = &rules[random.below(rules.size())];
    if (random.below(6) == 0 && rule->type == 0) {
      text += rule->from;
    } else {
      text.append(filler, at, space - at);
    }
    text += ' ';
    at = space + 1;
  }
  text.resize(bytes);
  return text;
}

}  // namespace qmxbench
