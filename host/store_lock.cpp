#include "host/store_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/store_file.h"

namespace qmxhost {

StoreLock::StoreLock(const std::string& store) {
  const std::string name = store + ".lock";
  // O_NOFOLLOW: a link planted under the lock's name must not make us
  // create a file wherever it points.
  fd_ = open(name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    const std::string why = std::strerror(errno);
    throw StoreError(store + ": cannot open the lock file " + name + ": " + why);
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
