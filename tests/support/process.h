// Runs a program as a user would, with arguments and standard input, and
// collects what it prints and its exit status.
#pragma once

#include <string>
#include <vector>

namespace qmxtest {

struct ProcessResult {
  int status = -1;  // exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `args`, feeding it `input`. In the 32-bit build the
// program runs through the CPU emulator the tests themselves run under.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "");

// A fresh directory under /tmp, removed with everything in it on
// destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace qmxtest
