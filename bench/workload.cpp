#include "bench/workload.h"

#include <algorithm>
#include <iterator>
#include <set>

namespace qmxbench {
namespace {

// Windows-1250 letters are single bytes; a literal is split after a hex
// escape so that the next letter is not read as part of it.
const char* const kPlainSyllables[] = {"ko", "pa",  "rze", "szy", "wie", "dzi", "ma",
                                       "ni", "to",  "la",  "ra",  "gro", "kra", "sto",
                                       "bi", "cie", "mi",  "na",  "po",  "ste", "wo"};
const char* const kMarkedSyllables[] = {
    "\xbf"
    "o",
    "\xb3"
    "a",
    "\x9c"
    "ci",
    "g\xea",
    "\xf3w",
    "r\xf3",
    "\xb3\xf3",
    "\xbf"
    "y",
    "\x9c"
    "nie",
    "dzi\xea",
    "wi\xb9",
    "ci\xb9",
    "\xf1",
    "\x9f"
    "d"};

// Ordinary words of a chat, spelled properly.
const char* const kFillerWords[] = {
    "i",
    "w",
    "na",
    "nie",
    "to",
    "jest",
    "ale",
    "czy",
    "jak",
    "tak",
    "ju\xbf",
    "jutro",
    "wieczorem",
    "spotkanie",
    "prosz\xea",
    "dzi\xea"
    "kuj\xea",
    "b\xea"
    "dzie",
    "mo\xbf"
    "e",
    "wszystko",
    "teraz",
    "potem",
    "zadzwoni\xea",
    "wiadomo\x9c\xe6",
    "pracy",
    "domu",
    "kolega",
    "sprawa",
    "szybko",
    "dobrze",
    "pozdrawiam",
    "samochodem",
    "przyjad\xea",
    "oko\xb3o",
    "godziny",
    "sklepu",
    "kupi\xe6",
    "chleb",
    "mleko",
    "pogoda",
    "\xb3"
    "adna",
    "wczoraj",
    "naprawd\xea",
    "oczywi\x9c"
    "cie",
};

char stripDiacritic(char c) {
  switch (static_cast<unsigned char>(c)) {
    case 0xb9:  // ą
      return 'a';
    case 0xe6:  // ć
      return 'c';
    case 0xea:  // ę
      return 'e';
    case 0xb3:  // ł
      return 'l';
    case 0xf1:  // ń
      return 'n';
    case 0xf3:  // ó
      return 'o';
    case 0x9c:  // ś
      return 's';
    case 0x9f:  // ź
    case 0xbf:  // ż
      return 'z';
    default:
      return c;
  }
}

}  // namespace

std::string stripDiacritics(std::string word) {
  std::transform(word.begin(), word.end(), word.begin(), stripDiacritic);
  return word;
}

std::string markedWord(Random& random) {
  const size_t syllables = 2 + random.below(3);
  const size_t marked = random.below(syllables);
  std::string word;
  for (size_t i = 0; i < syllables; ++i) {
    if (i == marked) {
      word += kMarkedSyllables[random.below(std::size(kMarkedSyllables))];
    } else {
      word += kPlainSyllables[random.below(std::size(kPlainSyllables))];
    }
  }
  return word;
}

std::string fillerText(size_t bytes, Random& random) {
  std::string text;
  bool sentenceStart = true;
  while (text.size() < bytes) {
    std::string word = kFillerWords[random.below(std::size(kFillerWords))];
    if (sentenceStart && word[0] >= 'a' && word[0] <= 'z')
      word[0] = static_cast<char>(word[0] - 32);
    text += word;
    sentenceStart = false;
    const size_t roll = random.below(20);
    if (roll == 0) {
      text += ". ";
      sentenceStart = true;
    } else if (roll == 1) {
      text += "? ";
      sentenceStart = true;
    } else if (roll < 4) {
      text += ", ";
    } else {
      text += ' ';
    }
  }
  text.resize(bytes);
  return text;
}

namespace {

Rule perlRule(size_t index, Random& random) {
  switch ((index / 10) % 5) {
    case 0:
      return {"/ +([,.!?])/", "$1", 1};
    case 1:
      return {"/([!?])\\1+/", "$1", 1};
    case 2:
      return {"/(\\d+) ?zl\\b/i", "$1 z\xb3", 1};
    case 3: {
      const std::string stem = markedWord(random);
      return {"/\\b" + stripDiacritics(stem) + "(a|y|e|ie)\\b/i", stem + "$1", 1};
    }
    default:
      return {"/\\s{2,}/", " ", 1};
  }
}

// Inserts each of `words` as a whole word into `text`, spread evenly, each
// right after a space (or at the very start) and followed by a space.
std::string insertWords(std::string text, const std::vector<std::string>& words) {
  std::string out;
  size_t from = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    size_t at = text.size() * i / words.size();
    if (at > 0) {
      const size_t space = text.find(' ', std::max(at, from));
      at = space == std::string::npos ? text.size() : space + 1;
    }
    at = std::max(at, from);
    out.append(text, from, at - from);
    if (!out.empty() && out.back() != ' ') out += ' ';
    out += words[i];
    out += ' ';
    from = at;
  }
  out.append(text, from, std::string::npos);
  return out;
}

char foldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

}  // namespace

uint64_t Random::next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 0x2545F4914F6CDD1DULL;
}

std::vector<Rule> makeRuleBase(size_t count) {
  Random random(0x5eed0001);
  std::vector<Rule> rules;
  std::set<std::string> froms;
  while (rules.size() < count) {
    const size_t index = rules.size();
    if (index % 10 == 9) {
      rules.push_back(perlRule(index, random));
      continue;
    }
    const std::string proper = markedWord(random);
    const std::string bare = stripDiacritics(proper);
    if (bare.size() < 4 || !froms.insert(bare).second) continue;
    rules.push_back({bare, proper, 0});
  }
  return rules;
}

RuleColumns storedColumns(const std::vector<Rule>& rules) {
  RuleColumns columns;
  for (const Rule& rule : rules) {
    columns.from += rule.from + "\r\n";
    columns.to += rule.to + "\r\n";
    columns.type += std::to_string(rule.type) + "\r\n";
  }
  return columns;
}

std::string makeMessage(size_t bytes, const std::vector<Rule>& rules, Mix mix) {
  Random random(0x5eed0002 + bytes);
  std::vector<std::string> words;
  if (mix == Mix::kAllPresent) {
    for (const Rule& rule : rules) {
      if (rule.type == 0) words.push_back(rule.from);
    }
  } else {
    // A few of the rule base's words, one in a short message.
    const size_t wanted = bytes < 100 ? 1 : 3;
    for (size_t i = 0; i < rules.size() && words.size() < wanted; i += 7) {
      if (rules[i].type == 0) words.push_back(rules[i].from);
    }
  }
  size_t room = 0;
  for (const std::string& word : words) room += word.size() + 2;
  if (room > bytes) return std::string();
  std::string text = insertWords(fillerText(bytes - room, random), words);
  // Inserting may have saved a space next to an existing one: top up or cut
  // to the exact size.
  if (text.size() < bytes) text += " " + fillerText(bytes - text.size(), random);
  text.resize(bytes);
  return text;
}

size_t literalsPresent(const std::string& text, const std::vector<Rule>& rules) {
  std::string folded = text;
  std::transform(folded.begin(), folded.end(), folded.begin(), foldAscii);
  size_t present = 0;
  for (const Rule& rule : rules) {
    if (rule.type != 0) continue;
    std::string from = rule.from;
    std::transform(from.begin(), from.end(), from.begin(), foldAscii);
    if (folded.find(from) != std::string::npos) ++present;
  }
  return present;
}

}  // namespace qmxbench
