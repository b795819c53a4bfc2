// Finds every occurrence of many literals in one pass over a text
// (Aho-Corasick over bytes), so that a rule base of thousands of literals
// costs one scan of a message instead of one scan per literal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// One literal to look for. A caseless literal matches the letters A-Z and
// a-z in either case, as the pattern engine's built-in tables fold them; no
// other byte (the code page's national letters included) has another case.
struct SearchLiteral {
  std::string bytes;
  bool caseless = false;
};

class LiteralAutomaton {
 public:
  // A literal's id is its index in the list the automaton was built from.
  using Id = uint32_t;

  // Finds nothing.
  LiteralAutomaton() = default;
  // Precondition: no literal is empty (an empty literal would occur
  // everywhere; callers that have one need no automaton to know that).
  // Duplicates are allowed; each keeps its own id.
  explicit LiteralAutomaton(const std::vector<SearchLiteral>& literals);

  size_t literalCount() const { return lengths_.size(); }
  size_t literalLength(Id id) const { return lengths_[id]; }
  // The longest literal's length; 0 without literals.
  size_t longestLiteral() const { return longest_; }
  // Heap bytes held by the automaton.
  size_t memoryBytes() const;

  // Calls `found(id, end)` for every occurrence of every literal that lies
  // wholly inside text[0, size), `end` one past its last byte, in order of
  // `end` (occurrences with the same end in no fixed order).
  template <typename Found>
  void scan(const char* text, size_t size, Found found) const;

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint32_t kRoot = 0;

  // The state reached from `state` on the byte class `symbol` through a trie
  // edge, or kNone.
  uint32_t edge(uint32_t state, uint8_t symbol) const;
  bool matchesExactly(Id id, const char* end) const;

  // Bytes fold to classes: one class per distinct byte the literals hold
  // (after folding A-Z), class 0 for every byte no literal holds, which can
  // only lead back to the root.
  uint8_t classOf_[256] = {};
  size_t classCount_ = 1;

  // Per state. Edges of a state are contiguous and sorted by class; a state
  // with many edges also has a dense row of classCount_ entries (0 = no
  // edge: the root is nobody's child).
  std::vector<uint32_t> fail_;
  std::vector<uint32_t> edgeBegin_;  // one more entry than states
  std::vector<uint32_t> denseRow_;   // kNone: no dense row
  // The first state on the suffix chain (the state itself included) that
  // ends a literal, or kNone; and the next such state after it.
  std::vector<uint32_t> reportFrom_;
  std::vector<uint32_t> nextReport_;
  std::vector<uint32_t> outputBegin_;  // one more entry than states
  std::vector<Id> outputs_;

  std::vector<uint8_t> edgeSymbol_;
  std::vector<uint32_t> edgeTarget_;
  std::vector<uint32_t> dense_;

  // Per literal; an exact literal with letters is checked byte for byte
  // where the folded automaton finds it.
  std::vector<uint32_t> lengths_;
  std::vector<uint8_t> verify_;
  std::vector<uint32_t> bytesBegin_;
  std::string bytes_;
  size_t longest_ = 0;
};

inline uint32_t LiteralAutomaton::edge(uint32_t state, uint8_t symbol) const {
  const uint32_t row = denseRow_[state];
  if (row != kNone) {
    const uint32_t target = dense_[static_cast<size_t>(row) * classCount_ + symbol];
    return target == kRoot ? kNone : target;
  }
  for (uint32_t e = edgeBegin_[state]; e < edgeBegin_[state + 1]; ++e) {
    if (edgeSymbol_[e] == symbol) return edgeTarget_[e];
    if (edgeSymbol_[e] > symbol) break;
  }
  return kNone;
}

inline bool LiteralAutomaton::matchesExactly(Id id, const char* end) const {
  if (!verify_[id]) return true;
  const uint32_t length = lengths_[id];
  return std::memcmp(end - length, bytes_.data() + bytesBegin_[id], length) == 0;
}

template <typename Found>
void LiteralAutomaton::scan(const char* text, size_t size, Found found) const {
  if (fail_.empty()) return;
  uint32_t state = kRoot;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t symbol = classOf_[static_cast<unsigned char>(text[i])];
    uint32_t next = edge(state, symbol);
    while (next == kNone && state != kRoot) {
      state = fail_[state];
      next = edge(state, symbol);
    }
    state = next == kNone ? kRoot : next;
    for (uint32_t at = reportFrom_[state]; at != kNone; at = nextReport_[at]) {
      for (uint32_t o = outputBegin_[at]; o < outputBegin_[at + 1]; ++o) {
        const Id id = outputs_[o];
        if (matchesExactly(id, text + i + 1)) found(id, i + 1);
      }
    }
  }
}
