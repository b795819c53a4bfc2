// Finds every occurrence of many literals in one pass over a text
// (Aho-Corasick over bytes), so that a rule base of thousands of literals
// costs one scan of a message instead of one scan per literal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qmx {

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

  size_t literalCount() const { return literals_.size(); }
  size_t literalLength(Id id) const { return literals_[id].length; }
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

  // One record per state, so that a step reads one cache line. A state
  // with many edges has a dense row: the state reached on each byte class,
  // failure links already followed, so a step from it never falls back. A
  // state without one keeps a few trie edges, sorted by class, at
  // firstEdge up to the next state's firstEdge.
  struct State {
    uint32_t firstEdge;
    uint32_t fail;
    uint32_t denseRow;  // offset into dense_, or kNone
    // The first state on the suffix chain (the state itself included) that
    // ends a literal, or kNone.
    uint32_t report;
  };
  struct Literal {
    uint32_t length;
    uint32_t bytesBegin;  // into bytes_, for those checked byte for byte
    bool verify;          // exact, with letters: the folded match is checked
  };

  // The state reached from `state` (which has no dense row) on the byte
  // class `symbol` through a trie edge, or kNone.
  uint32_t sparseEdge(uint32_t state, uint8_t symbol) const;
  uint32_t step(uint32_t state, uint8_t symbol) const;
  bool matchesExactly(const Literal& literal, const char* end) const;

  // Bytes fold to classes: one class per distinct byte the literals hold
  // (after folding A-Z), class 0 for every byte no literal holds, which can
  // only lead back to the root.
  uint8_t classOf_[256] = {};
  size_t classCount_ = 1;

  std::vector<State> states_;  // one more, closing the last state's edges
  std::vector<uint8_t> edgeSymbol_;
  std::vector<uint32_t> edgeTarget_;
  std::vector<uint32_t> dense_;
  // For reporting states: the next reporting state on the suffix chain,
  // and the literals that end here (outputBegin_[s] up to [s + 1]).
  std::vector<uint32_t> nextReport_;
  std::vector<uint32_t> outputBegin_;
  std::vector<Id> outputs_;
  std::vector<Literal> literals_;
  std::string bytes_;
  size_t longest_ = 0;
};

inline uint32_t LiteralAutomaton::sparseEdge(uint32_t state, uint8_t symbol) const {
  for (uint32_t e = states_[state].firstEdge; e < states_[state + 1].firstEdge; ++e) {
    if (edgeSymbol_[e] >= symbol) return edgeSymbol_[e] == symbol ? edgeTarget_[e] : kNone;
  }
  return kNone;
}

inline uint32_t LiteralAutomaton::step(uint32_t state, uint8_t symbol) const {
  // The root has a dense row, so the loop ends.
  for (;;) {
    const State& at = states_[state];
    if (at.denseRow != kNone) return dense_[at.denseRow + symbol];
    const uint32_t next = sparseEdge(state, symbol);
    if (next != kNone) return next;
    state = at.fail;
  }
}

inline bool LiteralAutomaton::matchesExactly(const Literal& literal, const char* end) const {
  if (!literal.verify) return true;
  const char* text = end - literal.length;
  const char* bytes = bytes_.data() + literal.bytesBegin;
  for (uint32_t i = 0; i < literal.length; ++i) {
    if (text[i] != bytes[i]) return false;
  }
  return true;
}

template <typename Found>
void LiteralAutomaton::scan(const char* text, size_t size, Found found) const {
  if (states_.empty()) return;
  uint32_t state = kRoot;
  for (size_t i = 0; i < size; ++i) {
    state = step(state, classOf_[static_cast<unsigned char>(text[i])]);
    for (uint32_t at = states_[state].report; at != kNone; at = nextReport_[at]) {
      for (uint32_t o = outputBegin_[at]; o < outputBegin_[at + 1]; ++o) {
        const Id id = outputs_[o];
        if (matchesExactly(literals_[id], text + i + 1)) found(id, i + 1);
      }
    }
  }
}

}  // namespace qmx
