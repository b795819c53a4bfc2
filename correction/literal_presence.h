// Which literals of an automaton occur in a message text, kept exact while
// rules rewrite the text one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "correction/literal_automaton.h"

namespace qmx {

enum class PresenceUpdate;

// Counts the occurrences of every literal in the current text. One object
// per message (or reused: start() forgets the previous text). The automaton
// must outlive the object.
class LiteralPresence {
 public:
  explicit LiteralPresence(const LiteralAutomaton& automaton);

  // Counts every occurrence in `text`, forgetting what was counted before.
  void start(const std::string& text);

  // `before` (the text start() or the last update() saw) became `after`.
  // A literal can appear or disappear only where an occurrence overlaps
  // the bytes that changed; those lie between the longest common prefix
  // and the longest common suffix of the two texts, so only occurrences
  // overlapping that stretch are counted out of `before` and into `after`.
  // A rewrite that changed nothing costs one comparison. Re-counts that
  // stretch, or the whole new text where that reads fewer bytes.
  void update(const std::string& before, const std::string& after);

  bool occurs(LiteralAutomaton::Id id) const { return counts_[id] != 0; }

 private:
  friend void updatePresence(LiteralPresence&, const std::string&, const std::string&,
                             PresenceUpdate);
  void update(const std::string& before, const std::string& after, PresenceUpdate how);
  void clear();
  // Adds `delta` to the count of every occurrence in text[begin, end) whose
  // bytes overlap [changedBegin, changedEnd) (an empty stretch: occurrences
  // that straddle the point).
  void count(const std::string& text, size_t begin, size_t end, size_t changedBegin,
             size_t changedEnd, int delta);

  const LiteralAutomaton& automaton_;
  std::vector<uint32_t> counts_;
  // Ids whose count was raised since the last clear(); clearing only those
  // keeps start() independent of the number of literals.
  std::vector<LiteralAutomaton::Id> touched_;
};

}  // namespace qmx
