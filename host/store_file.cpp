#include "host/store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace qmxhost {
namespace {

// As the kernel's own limit on links followed while resolving one path.
constexpr int kMaxLinks = 40;

// Throws StoreError "PATH: WHAT REASON TAIL", the reason read from errno
// before anything (building the message) can change it.
[[noreturn]] void fail(const std::string& path, const char* what, const char* tail = "") {
  const std::string why = std::strerror(errno);
  throw StoreError(path + ": " + what + why + tail);
}

// "dir/" of "dir/name"; empty for a bare name, which lives in the current
// directory.
std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void refuseUnlessRegular(const std::string& path, mode_t mode) {
  if (S_ISREG(mode)) return;
  if (S_ISDIR(mode)) throw StoreError(path + ": is a directory, not a store file");
  throw StoreError(path + ": is not a regular file, so it cannot be a store");
}

std::string readLink(const std::string& link) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
    if (length < 0) fail(link, "cannot read the symbolic link: ");
    if (static_cast<size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

// A save that failed before the rename: the old store is still whole.
[[noreturn]] void failWriting(const std::string& path) {
  fail(path, "cannot be written: ", "; the store is unchanged");
}

void writeAll(int fd, const std::string& content, const std::string& path) {
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t put = write(fd, content.data() + written, content.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      failWriting(path);
    }
    written += static_cast<size_t>(put);
  }
}

// The temporary file of one save: removed unless it became the store.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& beside) {
    name_ = directoryOf(beside) + "." + nameOf(beside) + ".XXXXXX";
    // mkstemp opens with O_EXCL under a name never used before: a file or
    // link planted in the directory is never opened, let alone followed.
    fd_ = mkostemp(&name_[0], O_CLOEXEC);
    if (fd_ < 0) fail(beside, "cannot create a temporary file beside it: ");
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }
  // Closes the file, reporting what close reports (a deferred write error).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  void keep() { kept_ = true; }

 private:
  std::string name_;
  int fd_ = -1;
  bool kept_ = false;
};

// The old file's mode and owner, or for a new file the mode any program
// creating it would give it.
void takeOverAttributes(const std::string& path, int fd) {
  struct stat old;
  if (stat(path.c_str(), &old) != 0) {
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) failWriting(path);
    return;
  }
  // The owner first: a change of owner clears the set-id bits that fchmod
  // then restores. Only root, or the owner changing to a group of their
  // own, may do it; otherwise the new file stays ours.
  if (old.st_uid != geteuid() || old.st_gid != getegid()) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Not permitted: the user can still save, as an editor would.
    }
  }
  if (fchmod(fd, old.st_mode & 07777) != 0) failWriting(path);
}

void syncDirectory(const std::string& path) {
  const std::string directory = directoryOf(path).empty() ? "." : directoryOf(path);
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The rename is done; a directory that cannot be synced only leaves its
  // entry to the kernel's own schedule.
  fsync(fd);
  close(fd);
}

}  // namespace

std::string resolveStoreFile(const std::string& path) {
  std::string target = path;
  for (int hops = 0;; ++hops) {
    struct stat status;
    if (lstat(target.c_str(), &status) != 0) {
      if (errno == ENOENT) return target;
      fail(path, "");
    }
    if (!S_ISLNK(status.st_mode)) return target;
    if (hops == kMaxLinks) throw StoreError(path + ": too many levels of symbolic links");
    const std::string link = readLink(target);
    target = !link.empty() && link[0] == '/' ? link : directoryOf(target) + link;
  }
}

void requireRegularFileOrNothing(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) == 0) refuseUnlessRegular(path, status.st_mode);
}

std::optional<std::string> readStoreFile(const std::string& path) {
  // Non-blocking, so that a pipe planted under the store's name is refused
  // below instead of waiting for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    fail(path, "cannot be read: ");
  }
  std::string content;
  try {
    struct stat status;
    if (fstat(fd, &status) != 0) fail(path, "cannot be read: ");
    refuseUnlessRegular(path, status.st_mode);
    char buffer[65536];
    for (;;) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) fail(path, "cannot be read: ");
      if (got == 0) break;
      content.append(buffer, static_cast<size_t>(got));
    }
  } catch (...) {
    close(fd);
    throw;
  }
  close(fd);
  return content;
}

void replaceFileAtomically(const std::string& path, const std::string& content) {
  TemporaryFile temporary(path);
  writeAll(temporary.fd(), content, path);
  takeOverAttributes(path, temporary.fd());
  if (fsync(temporary.fd()) != 0 || !temporary.close()) failWriting(path);
  if (std::rename(temporary.name().c_str(), path.c_str()) != 0) {
    fail(path, "cannot be replaced: ", "; the store is unchanged");
  }
  temporary.keep();
  syncDirectory(path);
}

}  // namespace qmxhost
