#include "host/store_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/store_file.h"

namespace qmxhost {

StoreLock::StoreLock(const std::string& store) {
  const std::string name = store + ".lock";
  // O_NOFOLLOW: a link planted under the lock's name must not make us
  // create a file wherever it points. O_NONBLOCK: a pipe there must not
  // wait for a writer, so that it is refused below instead of hanging the
  // command.
  fd_ = open(name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    const int error = errno;
    if (error == ENOENT) {
      // O_CREAT fails so only when the directory is not there.
      const size_t slash = store.rfind('/');
      throw StoreError(store + ": there is no directory " +
                       (slash == std::string::npos ? std::string(".") : store.substr(0, slash)) +
                       " to hold the store; create it first");
    }
    throw StoreError(store + ": cannot open the lock file " + name + ": " + std::strerror(error));
  }
  struct stat status;
  if (fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd_);
    throw StoreError(store + ": the lock file " + name +
                     " is not a regular file, so the store cannot be locked");
  }
  while (flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const std::string reason = std::strerror(errno);
    close(fd_);
    throw StoreError(store + ": cannot lock " + name + ": " + reason);
  }
}

StoreLock::~StoreLock() {
  close(fd_);
}

}  // namespace qmxhost
