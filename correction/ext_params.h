// Named parameters in a chat message's extension text. Each entry is the
// separator character, the key, "=" and the value; the separator opens an
// entry rather than standing between two. Text in front of the first
// separator is kept by every operation but is no entry.
#pragma once

#include <string>

namespace qmx {

// Opens every entry of an extension text (character 26).
constexpr char EXT_SEPARATOR = '\x1a';

// Returns the value of the first entry whose key is exactly `key` (compared
// byte for byte, case included): the text behind its "=" up to the next
// separator or the end. Returns the empty text when `key` is empty, when no
// entry has that key, or when the value is empty; these cannot be told apart.
std::string getExtParam(std::string ext, std::string key);

// Returns a copy of `ext` in which the first entry with `key` holds `value`,
// replaced where it stands so every other entry keeps its place; when no entry
// has the key, the new entry is appended at the end. A later entry with the
// same key is left as it is. With an empty `key`, returns `ext` unchanged.
std::string setExtParam(std::string ext, std::string key, std::string value);

}  // namespace qmx
