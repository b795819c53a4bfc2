#include "correction/literal_presence.h"

#include <algorithm>

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

void LiteralPresence::update(const std::string& before, const std::string& after,
                             PresenceUpdate how) {
  if (how == PresenceUpdate::Rescan) {
    if (before != after) start(after);
    return;
  }
  const size_t shorter = std::min(before.size(), after.size());
  const size_t prefix = static_cast<size_t>(
      std::mismatch(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(shorter),
                    after.begin())
          .first -
      before.begin());
  if (prefix == before.size() && prefix == after.size()) return;
  size_t suffix = 0;
  while (suffix < shorter - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const size_t beforeChangedEnd = before.size() - suffix;
  const size_t afterChangedEnd = after.size() - suffix;

  // Every occurrence that overlaps the change lies within a literal's
  // length less one of it.
  const size_t reach = automaton_.longestLiteral() > 0 ? automaton_.longestLiteral() - 1 : 0;
  const size_t begin = prefix > reach ? prefix - reach : 0;
  const size_t beforeEnd = std::min(before.size(), beforeChangedEnd + reach);
  const size_t afterEnd = std::min(after.size(), afterChangedEnd + reach);
  const size_t windowBytes = (beforeEnd - begin) + (afterEnd - begin);
  if (how == PresenceUpdate::Cheaper && windowBytes >= after.size()) {
    start(after);
    return;
  }
  count(before, begin, beforeEnd, prefix, beforeChangedEnd, -1);
  count(after, begin, afterEnd, prefix, afterChangedEnd, +1);
}
