// quillmax-host: runs the Quillmax plug-in the way the messenger does.
#include <limits.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "host/cli.h"

namespace {

// Quillmax.so beside this program, wherever both were copied.
std::string pluginBesideProgram() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "Quillmax.so";
  const std::string self(path, static_cast<size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + "Quillmax.so";
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = qmxhost::runCli(args, std::cin, std::cout, std::cerr, pluginBesideProgram());
  std::cout.flush();
  return status;
}
