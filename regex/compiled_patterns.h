// Compiled patterns kept for as long as their owner keeps them: every
// RegexReplacer compiles through one of these, its own or one its caller
// shares among replacers (the rule loop keeps one from one message to the
// next), so a pattern is compiled once however often it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "regex/compiled_pattern.h"
#include "regex/pattern_text.h"

namespace qmx {

class CompiledPatterns {
 public:
  CompiledPatterns() = default;
  CompiledPatterns(const CompiledPatterns&) = delete;
  CompiledPatterns& operator=(const CompiledPatterns&) = delete;

  // The compiled form of `pattern`'s expression under its compile options,
  // compiled on first being asked for. A refusal is kept too: the same
  // expression and options are refused again, for the same reason. The
  // entry lives as long as this object.
  const CompiledPattern& get(const PatternText& pattern);

  // Patterns held, refusals included.
  size_t size() const { return entries_.size(); }
  // Bytes PCRE holds for the compiled patterns.
  size_t compiledBytes() const;

 private:
  // The cache key text alone leaves out option bits above 127, two of which
  // (PCRE_UNGREEDY, PCRE_UTF8) change what compiles; the compile options
  // complete it.
  using Key = std::pair<std::string, uint32_t>;
  struct KeyHash {
    size_t operator()(const Key& key) const {
      return std::hash<std::string>()(key.first) ^ (static_cast<size_t>(key.second) * 0x9e3779b9u);
    }
  };
  std::unordered_map<Key, std::unique_ptr<const CompiledPattern>, KeyHash> entries_;
};

}  // namespace qmx
