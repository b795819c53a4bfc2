#include "regex/compiled_patterns.h"

namespace qmx {

const CompiledPattern& CompiledPatterns::get(const PatternText& pattern) {
  Key key(cacheKeyText(pattern), pattern.compileOptions());
  const auto found = entries_.find(key);
  if (found != entries_.end()) return *found->second;
  auto compiled = std::make_unique<const CompiledPattern>(pattern.expression, key.second);
  const CompiledPattern& entry = *compiled;
  entries_.emplace(std::move(key), std::move(compiled));
  return entry;
}

size_t CompiledPatterns::compiledBytes() const {
  size_t bytes = 0;
  for (const auto& entry : entries_) bytes += entry.second->compiledBytes();
  return bytes;
}

}  // namespace qmx
