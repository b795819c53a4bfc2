#include "correction/literal_automaton.h"

#include "regex/ascii_case.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace qmx {

namespace {

// A state with at least this many edges gets a dense row: the first levels
// of a large word list branch on nearly every letter, and a row turns their
// search into one load. Deeper states have a few edges, searched in place.
constexpr uint32_t kDenseEdges = 6;

bool hasAsciiLetter(const std::string& bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char c) {
    const unsigned char folded = foldAsciiLetter(static_cast<unsigned char>(c));
    return folded >= 'a' && folded <= 'z';
  });
}

template <typename T>
size_t heapBytes(const std::vector<T>& v) {
  return v.capacity() * sizeof(T);
}

}  // namespace

LiteralAutomaton::LiteralAutomaton(const std::vector<SearchLiteral>& literals) {
  const size_t count = literals.size();
  // Classes in byte order, so that sorting folded bytes sorts classes too.
  bool used[256] = {};
  for (const SearchLiteral& literal : literals) {
    assert(!literal.bytes.empty());
    for (char c : literal.bytes) used[foldAsciiLetter(static_cast<unsigned char>(c))] = true;
  }
  uint8_t classOfFolded[256] = {};
  for (int b = 0; b < 256; ++b) {
    if (used[b]) classOfFolded[b] = static_cast<uint8_t>(classCount_++);
  }
  for (int b = 0; b < 256; ++b)
    classOf_[b] = classOfFolded[foldAsciiLetter(static_cast<unsigned char>(b))];

  literals_.reserve(count);
  std::vector<std::string> symbols(count);
  for (size_t i = 0; i < count; ++i) {
    const std::string& bytes = literals[i].bytes;
    longest_ = std::max(longest_, bytes.size());
    const bool verify = !literals[i].caseless && hasAsciiLetter(bytes);
    literals_.push_back(
        {static_cast<uint32_t>(bytes.size()), static_cast<uint32_t>(bytes_.size()), verify});
    if (verify) bytes_ += bytes;
    symbols[i].resize(bytes.size());
    std::transform(bytes.begin(), bytes.end(), symbols[i].begin(),
                   [this](char c) { return static_cast<char>(classOf_[static_cast<uint8_t>(c)]); });
  }

  // The trie, built from the sorted literals: each shares a prefix with the
  // one before it, so a node's children are made in increasing class order.
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&symbols](uint32_t a, uint32_t b) { return symbols[a] < symbols[b]; });
  std::vector<uint32_t> parent = {kRoot};
  std::vector<uint8_t> symbolOf = {0};
  std::vector<uint32_t> endState(count);
  std::vector<uint32_t> path = {kRoot};  // path[d]: the previous literal's state at depth d
  const std::string* previous = nullptr;
  for (uint32_t id : order) {
    const std::string& s = symbols[id];
    size_t shared = 0;
    if (previous) {
      const size_t limit = std::min(previous->size(), s.size());
      while (shared < limit && (*previous)[shared] == s[shared]) ++shared;
    }
    path.resize(shared + 1);
    for (size_t d = shared; d < s.size(); ++d) {
      parent.push_back(path[d]);
      symbolOf.push_back(static_cast<uint8_t>(s[d]));
      path.push_back(static_cast<uint32_t>(parent.size() - 1));
    }
    endState[id] = path[s.size()];
    previous = &s;
  }
  const size_t states = parent.size();

  // Edges grouped by parent; within a parent, creation order is class order.
  states_.assign(states + 1, State{0, kRoot, kNone, kNone});
  for (size_t v = 1; v < states; ++v) ++states_[parent[v] + 1].firstEdge;
  for (size_t v = 1; v <= states; ++v) states_[v].firstEdge += states_[v - 1].firstEdge;
  edgeSymbol_.resize(states - 1);
  edgeTarget_.resize(states - 1);
  {
    std::vector<uint32_t> fill(states);
    for (size_t v = 0; v < states; ++v) fill[v] = states_[v].firstEdge;
    for (size_t v = 1; v < states; ++v) {
      const uint32_t e = fill[parent[v]]++;
      edgeSymbol_[e] = symbolOf[v];
      edgeTarget_[e] = static_cast<uint32_t>(v);
    }
  }

  outputBegin_.assign(states + 1, 0);
  for (size_t id = 0; id < count; ++id) ++outputBegin_[endState[id] + 1];
  std::partial_sum(outputBegin_.begin(), outputBegin_.end(), outputBegin_.begin());
  outputs_.resize(count);
  {
    std::vector<uint32_t> fill(outputBegin_.begin(), outputBegin_.end() - 1);
    for (size_t id = 0; id < count; ++id) outputs_[fill[endState[id]]++] = static_cast<Id>(id);
  }

  // Breadth-first, so that everything a state's links lead to (shorter
  // strings) is complete before it: the failure link, the longest proper
  // suffix of the state's string that is also in the trie, and the dense
  // row, whose missing edges are the steps from the failure link.
  nextReport_.assign(states, kNone);
  std::vector<uint32_t> queue = {kRoot};
  for (size_t head = 0; head < queue.size(); ++head) {
    const uint32_t u = queue[head];
    State& state = states_[u];
    if (u != kRoot) {
      const uint32_t fail = state.fail;
      nextReport_[u] = states_[fail].report;
      state.report = outputBegin_[u] != outputBegin_[u + 1] ? u : nextReport_[u];
    }
    const uint32_t edgeCount = states_[u + 1].firstEdge - state.firstEdge;
    if (u == kRoot || edgeCount >= kDenseEdges) {
      const uint32_t row = static_cast<uint32_t>(dense_.size());
      dense_.resize(dense_.size() + classCount_, kRoot);
      if (u != kRoot) {
        for (size_t symbol = 0; symbol < classCount_; ++symbol) {
          dense_[row + symbol] = step(state.fail, static_cast<uint8_t>(symbol));
        }
      }
      for (uint32_t e = state.firstEdge; e < states_[u + 1].firstEdge; ++e) {
        dense_[row + edgeSymbol_[e]] = edgeTarget_[e];
      }
      states_[u].denseRow = row;
    }
    for (uint32_t e = states_[u].firstEdge; e < states_[u + 1].firstEdge; ++e) {
      const uint32_t v = edgeTarget_[e];
      states_[v].fail = u == kRoot ? kRoot : step(states_[u].fail, edgeSymbol_[e]);
      queue.push_back(v);
    }
  }
}

size_t LiteralAutomaton::memoryBytes() const {
  return heapBytes(states_) + heapBytes(edgeSymbol_) + heapBytes(edgeTarget_) + heapBytes(dense_) +
         heapBytes(nextReport_) + heapBytes(outputBegin_) + heapBytes(outputs_) +
         heapBytes(literals_) + bytes_.capacity();
}

}  // namespace qmx
