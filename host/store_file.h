// The store's file on disk: found through symbolic links, read whole, and
// replaced atomically so that a reader or a crash never sees half a store.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace qmxhost {

// A store file that cannot be read or written; what() names the file and,
// for a malformed file, the place.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file that `path` finally names: symbolic links followed, each
// relative link against its own directory. A path that does not exist yet
// (or a link to one) names the file a save would create. Throws StoreError
// for a loop of links or a link that cannot be read.
std::string resolveStoreFile(const std::string& path);

// Throws StoreError, naming `path`, when it exists and is not a regular
// file (a directory, a device, a pipe): such a path is never read as a
// store nor replaced.
void requireRegularFileOrNothing(const std::string& path);

// The whole content of the file at `path`, or nothing when there is no
// file. Throws StoreError for a file that exists but cannot be read, or is
// not a regular file.
std::optional<std::string> readStoreFile(const std::string& path);

// Replaces the file `path` (already resolved: not a symbolic link) with
// `content`: written to a fresh, uniquely named file in the same
// directory, flushed to disk, given the old file's mode and, where
// permitted, its owner, then renamed over the old one. On failure the old
// file is left as it was and no temporary file remains. Throws StoreError.
void replaceFileAtomically(const std::string& path, const std::string& content);

}  // namespace qmxhost
