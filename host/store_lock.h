// The exclusive lock a command holds on the store from reading it to
// writing it back, so that overlapping runs change the store one after the
// other and none loses another's change.
#pragma once

#include <string>

namespace qmxhost {

class StoreLock {
 public:
  // Waits for, then takes, the lock of the store file `store` (resolved:
  // not a symbolic link). The lock is flock(2) on the file "<store>.lock",
  // created when missing and never removed: the store itself is replaced
  // by every save, so a lock on it would be a lock on a file that is
  // already gone, while the lock file stays the same file for every run.
  // Throws StoreError when the lock file cannot be opened or locked, or is
  // not a regular file (a pipe, a device).
  explicit StoreLock(const std::string& store);
  // Releases the lock.
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace qmxhost
