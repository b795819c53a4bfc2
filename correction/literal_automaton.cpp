#include "correction/literal_automaton.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace {

// A state with at least this many edges gets a dense row: the first levels
// of a large word list branch on nearly every letter, and a row turns their
// search into one load. Deeper states have a few edges, searched in place.
constexpr uint32_t kDenseEdges = 6;

unsigned char foldAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool hasAsciiLetter(const std::string& bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char c) {
    const unsigned char folded = foldAscii(static_cast<unsigned char>(c));
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
    for (char c : literal.bytes) used[foldAscii(static_cast<unsigned char>(c))] = true;
  }
  uint8_t classOfFolded[256] = {};
  for (int b = 0; b < 256; ++b) {
    if (used[b]) classOfFolded[b] = static_cast<uint8_t>(classCount_++);
  }
  for (int b = 0; b < 256; ++b)
    classOf_[b] = classOfFolded[foldAscii(static_cast<unsigned char>(b))];

  lengths_.reserve(count);
  verify_.reserve(count);
  bytesBegin_.reserve(count);
  std::vector<std::string> symbols(count);
  for (size_t i = 0; i < count; ++i) {
    const std::string& bytes = literals[i].bytes;
    lengths_.push_back(static_cast<uint32_t>(bytes.size()));
    longest_ = std::max(longest_, bytes.size());
    const bool verify = !literals[i].caseless && hasAsciiLetter(bytes);
    verify_.push_back(verify);
    bytesBegin_.push_back(static_cast<uint32_t>(bytes_.size()));
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
  edgeBegin_.assign(states + 1, 0);
  for (size_t v = 1; v < states; ++v) ++edgeBegin_[parent[v] + 1];
  std::partial_sum(edgeBegin_.begin(), edgeBegin_.end(), edgeBegin_.begin());
  edgeSymbol_.resize(states - 1);
  edgeTarget_.resize(states - 1);
  {
    std::vector<uint32_t> fill(edgeBegin_.begin(), edgeBegin_.end() - 1);
    for (size_t v = 1; v < states; ++v) {
      const uint32_t e = fill[parent[v]]++;
      edgeSymbol_[e] = symbolOf[v];
      edgeTarget_[e] = static_cast<uint32_t>(v);
    }
  }
  denseRow_.assign(states, kNone);
  for (uint32_t v = 0; v < states; ++v) {
    if (v != kRoot && edgeBegin_[v + 1] - edgeBegin_[v] < kDenseEdges) continue;
    denseRow_[v] = static_cast<uint32_t>(dense_.size() / classCount_);
    dense_.resize(dense_.size() + classCount_, kRoot);
    for (uint32_t e = edgeBegin_[v]; e < edgeBegin_[v + 1]; ++e) {
      dense_[static_cast<size_t>(denseRow_[v]) * classCount_ + edgeSymbol_[e]] = edgeTarget_[e];
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

  // Failure links in breadth-first order: a state's link is the longest
  // proper suffix of its string that is also in the trie.
  fail_.assign(states, kRoot);
  reportFrom_.assign(states, kNone);
  nextReport_.assign(states, kNone);
  std::vector<uint32_t> queue = {kRoot};
  for (size_t head = 0; head < queue.size(); ++head) {
    const uint32_t u = queue[head];
    for (uint32_t e = edgeBegin_[u]; e < edgeBegin_[u + 1]; ++e) {
      const uint32_t v = edgeTarget_[e];
      const uint8_t symbol = edgeSymbol_[e];
      if (u != kRoot) {
        uint32_t f = fail_[u];
        uint32_t target = edge(f, symbol);
        while (target == kNone && f != kRoot) {
          f = fail_[f];
          target = edge(f, symbol);
        }
        fail_[v] = target == kNone ? kRoot : target;
      }
      nextReport_[v] = reportFrom_[fail_[v]];
      reportFrom_[v] = outputBegin_[v] != outputBegin_[v + 1] ? v : nextReport_[v];
      queue.push_back(v);
    }
  }
}

size_t LiteralAutomaton::memoryBytes() const {
  return heapBytes(fail_) + heapBytes(edgeBegin_) + heapBytes(denseRow_) + heapBytes(reportFrom_) +
         heapBytes(nextReport_) + heapBytes(outputBegin_) + heapBytes(outputs_) +
         heapBytes(edgeSymbol_) + heapBytes(edgeTarget_) + heapBytes(dense_) + heapBytes(lengths_) +
         heapBytes(verify_) + heapBytes(bytesBegin_) + bytes_.capacity();
}
