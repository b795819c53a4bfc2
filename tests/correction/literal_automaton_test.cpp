// The automaton must find exactly what a naive search finds, and the
// presence it feeds must stay exact while a text is rewritten.
#include "correction/literal_automaton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "correction/literal_presence.h"
#include "correction/test_switches.h"

using namespace qmx;

namespace {

// Few bytes, so that literals overlap, nest and share prefixes and
// suffixes; letters of both cases, a byte above 127, punctuation.
const char kBytes[] = "aAbB.\xb9 ";

std::string randomBytes(std::mt19937& random, size_t minLength, size_t maxLength) {
  std::string text(std::uniform_int_distribution<size_t>(minLength, maxLength)(random), ' ');
  for (char& c : text) c = kBytes[random() % (sizeof kBytes - 1)];
  return text;
}

std::vector<SearchLiteral> randomLiterals(std::mt19937& random) {
  std::vector<SearchLiteral> literals(std::uniform_int_distribution<size_t>(0, 30)(random));
  for (SearchLiteral& literal : literals) {
    literal.bytes = randomBytes(random, 1, 5);
    literal.caseless = random() % 2 == 0;
  }
  return literals;
}

char fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

using Occurrence = std::pair<LiteralAutomaton::Id, size_t>;  // id, end

std::vector<Occurrence> naiveOccurrences(const std::vector<SearchLiteral>& literals,
                                         const std::string& text) {
  std::vector<Occurrence> found;
  for (size_t id = 0; id < literals.size(); ++id) {
    const SearchLiteral& literal = literals[id];
    for (size_t at = 0; at + literal.bytes.size() <= text.size(); ++at) {
      const bool same = std::equal(
          literal.bytes.begin(), literal.bytes.end(), text.begin() + at,
          [&](char a, char b) { return literal.caseless ? fold(a) == fold(b) : a == b; });
      if (same)
        found.emplace_back(static_cast<LiteralAutomaton::Id>(id), at + literal.bytes.size());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(LiteralAutomaton, finds_what_a_naive_search_finds) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 3000; ++round) {
    const std::vector<SearchLiteral> literals = randomLiterals(random);
    const LiteralAutomaton automaton(literals);
    const std::string text = randomBytes(random, 0, 40);
    std::vector<Occurrence> found;
    automaton.scan(text.data(), text.size(),
                   [&found](LiteralAutomaton::Id id, size_t end) { found.emplace_back(id, end); });
    std::sort(found.begin(), found.end());
    ASSERT_EQ(found, naiveOccurrences(literals, text)) << "text «" << text << "»";
  }
}

// A rewrite as a rule makes one: a stretch replaced by other bytes, often
// by or around one of the literals, so that rewrites make and break them.
std::string rewrite(std::mt19937& random, const std::string& text,
                    const std::vector<SearchLiteral>& literals) {
  const size_t begin = std::uniform_int_distribution<size_t>(0, text.size())(random);
  const size_t end =
      std::uniform_int_distribution<size_t>(begin, std::min(text.size(), begin + 6))(random);
  std::string inserted = randomBytes(random, 0, 4);
  if (!literals.empty() && random() % 2 == 0) {
    inserted += literals[random() % literals.size()].bytes;
  }
  return text.substr(0, begin) + inserted + text.substr(end);
}

TEST(LiteralPresence, stays_exact_while_the_text_is_rewritten) {
  std::mt19937 random(20261211);
  for (PresenceUpdate how :
       {PresenceUpdate::kCheaper, PresenceUpdate::kWindow, PresenceUpdate::kRescan}) {
    for (int round = 0; round < 400; ++round) {
      const std::vector<SearchLiteral> literals = randomLiterals(random);
      const LiteralAutomaton automaton(literals);
      LiteralPresence presence(automaton);
      std::string text = randomBytes(random, 0, 60);
      presence.start(text);
      for (int step = 0; step < 12; ++step) {
        const std::string after = random() % 8 == 0 ? text : rewrite(random, text, literals);
        updatePresence(presence, text, after, how);
        text = after;
        std::vector<bool> expected(literals.size(), false);
        for (const Occurrence& occurrence : naiveOccurrences(literals, text)) {
          expected[occurrence.first] = true;
        }
        for (size_t id = 0; id < literals.size(); ++id) {
          ASSERT_EQ(presence.occurs(static_cast<LiteralAutomaton::Id>(id)), expected[id])
              << "literal «" << literals[id].bytes << "» in «" << text << "» strategy "
              << static_cast<int>(how);
        }
      }
    }
  }
}

}  // namespace
