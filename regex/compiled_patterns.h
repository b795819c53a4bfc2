// Compiled patterns kept beyond one RegexReplacer: a caller that runs the
// same patterns over many texts hands one of these to its replacers, and a
// pattern is compiled once for as long as the caller keeps it.
#pragma once

#include <pcre.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>

namespace qmx {

class CompiledPatterns {
 public:
  // A pattern as the engine compiles it: the expression with the replacer's
  // cache key byte after it, and every compile option bit.
  using Key = std::pair<std::string, uint32_t>;

  // What compiling a key gave. A refusal is kept too: the same expression
  // and options are refused again, for the same reason.
  struct Entry {
    pcre* compiled = nullptr;         // null when PCRE refused the pattern
    const char* errorText = nullptr;  // PCRE's static message for a refusal
    int errorOffset = 0;
  };

  CompiledPatterns() = default;
  // Releases every compiled pattern.
  ~CompiledPatterns();
  CompiledPatterns(const CompiledPatterns&) = delete;
  CompiledPatterns& operator=(const CompiledPatterns&) = delete;

  // The entry for `key`, or null when it was never compiled here.
  const Entry* find(const Key& key) const;
  // Keeps `entry` under `key`, which must be new; takes over its pattern.
  const Entry& add(Key key, const Entry& entry);

  size_t size() const { return entries_.size(); }
  // Bytes PCRE holds for the compiled patterns.
  size_t compiledBytes() const;

 private:
  struct KeyHash {
    size_t operator()(const Key& key) const {
      return std::hash<std::string>()(key.first) ^ (static_cast<size_t>(key.second) * 0x9e3779b9u);
    }
  };
  std::unordered_map<Key, Entry, KeyHash> entries_;
};

}  // namespace qmx
