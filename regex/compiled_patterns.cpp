#include "regex/compiled_patterns.h"

namespace qmx {

CompiledPatterns::~CompiledPatterns() {
  for (auto& entry : entries_) {
    if (entry.second.compiled) pcre_free(entry.second.compiled);
  }
}

const CompiledPatterns::Entry* CompiledPatterns::find(const Key& key) const {
  const auto found = entries_.find(key);
  return found == entries_.end() ? nullptr : &found->second;
}

const CompiledPatterns::Entry& CompiledPatterns::add(Key key, const Entry& entry) {
  const auto added = entries_.emplace(std::move(key), entry);
  // A key compiled twice keeps its first pattern; the second is not owned
  // by anything else.
  if (!added.second && entry.compiled) pcre_free(entry.compiled);
  return added.first->second;
}

size_t CompiledPatterns::compiledBytes() const {
  size_t bytes = 0;
  for (const auto& entry : entries_) {
    size_t size = 0;
    if (entry.second.compiled &&
        pcre_fullinfo(entry.second.compiled, nullptr, PCRE_INFO_SIZE, &size) == 0) {
      bytes += size;
    }
  }
  return bytes;
}

}  // namespace qmx
