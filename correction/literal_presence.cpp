#include "correction/literal_presence.h"

#include "correction/test_switches.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qmx {

namespace {

// Both run over every byte a rewrite left alone, for every rule that
// rewrote a text: eight bytes at a time.
size_t commonPrefix(const char* a, const char* b, size_t limit) {
  size_t i = 0;
  for (uint64_t x, y; i + 8 <= limit; i += 8) {
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  while (i < limit && a[i] == b[i]) ++i;
  return i;
}

// Counted back from the ends of a[0, aEnd) and b[0, bEnd).
size_t commonSuffix(const char* a, size_t aEnd, const char* b, size_t bEnd, size_t limit) {
  size_t i = 0;
  for (uint64_t x, y; i + 8 <= limit; i += 8) {
    std::memcpy(&x, a + aEnd - i - 8, 8);
    std::memcpy(&y, b + bEnd - i - 8, 8);
    if (x != y) break;
  }
  while (i < limit && a[aEnd - 1 - i] == b[bEnd - 1 - i]) ++i;
  return i;
}

}  // namespace

LiteralPresence::LiteralPresence(const LiteralAutomaton& automaton)
    : automaton_(automaton), counts_(automaton.literalCount(), 0) {}

void LiteralPresence::clear() {
  for (LiteralAutomaton::Id id : touched_) counts_[id] = 0;
  touched_.clear();
}

void LiteralPresence::start(const std::string& text) {
  clear();
  automaton_.scan(text.data(), text.size(), [this](LiteralAutomaton::Id id, size_t) {
    if (counts_[id]++ == 0) touched_.push_back(id);
  });
}

void LiteralPresence::count(const std::string& text, size_t begin, size_t end, size_t changedBegin,
                            size_t changedEnd, int delta) {
  automaton_.scan(text.data() + begin, end - begin, [&](LiteralAutomaton::Id id, size_t at) {
    const size_t last = begin + at;
    const size_t first = last - automaton_.literalLength(id);
    // Wholly before or wholly after the change: the same bytes are in both
    // texts, and the occurrence is counted already.
    if (first >= changedEnd || last <= changedBegin) return;
    if (delta > 0) {
      if (counts_[id]++ == 0) touched_.push_back(id);
    } else {
      --counts_[id];
    }
  });
}

void LiteralPresence::update(const std::string& before, const std::string& after) {
  update(before, after, PresenceUpdate::kCheaper);
}

void updatePresence(LiteralPresence& presence, const std::string& before, const std::string& after,
                    PresenceUpdate how) {
  presence.update(before, after, how);
}

void LiteralPresence::update(const std::string& before, const std::string& after,
                             PresenceUpdate how) {
  if (how == PresenceUpdate::kRescan) {
    if (before != after) start(after);
    return;
  }
  const size_t shorter = std::min(before.size(), after.size());
  const size_t prefix = commonPrefix(before.data(), after.data(), shorter);
  if (prefix == before.size() && prefix == after.size()) return;
  const size_t suffix =
      commonSuffix(before.data(), before.size(), after.data(), after.size(), shorter - prefix);
  const size_t beforeChangedEnd = before.size() - suffix;
  const size_t afterChangedEnd = after.size() - suffix;

  // Every occurrence that overlaps the change lies within a literal's
  // length less one of it.
  const size_t reach = automaton_.longestLiteral() > 0 ? automaton_.longestLiteral() - 1 : 0;
  const size_t begin = prefix > reach ? prefix - reach : 0;
  const size_t beforeEnd = std::min(before.size(), beforeChangedEnd + reach);
  const size_t afterEnd = std::min(after.size(), afterChangedEnd + reach);
  const size_t windowBytes = (beforeEnd - begin) + (afterEnd - begin);
  if (how == PresenceUpdate::kCheaper && windowBytes >= after.size()) {
    start(after);
    return;
  }
  count(before, begin, beforeEnd, prefix, beforeChangedEnd, -1);
  count(after, begin, afterEnd, prefix, afterChangedEnd, +1);
}

}  // namespace qmx
