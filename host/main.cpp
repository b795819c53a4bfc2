// quillmax-host: runs the Quillmax plug-in the way the messenger does.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <string>
#include <vector>

#include "host/cli.h"
#include "host/cli_session.h"

namespace {

// Quillmax.so beside this program, wherever both were copied (a build
// directory); else where `make install` puts it, lib/quillmax beside the
// program's bin, whatever the prefix. Named in the error when neither is
// there.
std::string defaultPlugin() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "Quillmax.so";
  const std::string self(path, static_cast<size_t>(length));
  const std::string directory = self.substr(0, self.rfind('/') + 1);
  const std::string beside = directory + "Quillmax.so";
  const std::string installed = directory + "../lib/quillmax/Quillmax.so";
  return access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0 ? installed
                                                                                   : beside;
}

// A standard stream the caller closed (`>&-`) leaves its number free, and
// the next file opened would take it: output meant for the terminal would
// land in the store's temporary file. Each closed one is given /dev/null.
// Returns whether standard output was closed.
bool occupyClosedStandardStreams() {
  bool outputClosed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // open() takes the lowest free number: this one, the lower ones being
    // open. Without /dev/null there is nothing better to do.
    open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    outputClosed = outputClosed || fd == 1;
  }
  return outputClosed;
}

}  // namespace

int main(int argc, char** argv) {
  if (occupyClosedStandardStreams()) {
    std::cerr << "quillmax-host: standard output is closed\n";
    return qmxhost::kExitUsage;
  }
  // Under a file-size limit (ulimit -f) a save then fails with an error the
  // program reports, the old store intact, instead of killing it halfway.
  signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return qmxhost::runCli(args, std::cin, std::cout, std::cerr, defaultPlugin());
}
