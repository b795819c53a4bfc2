// The plug-in and its stand-in, copied together anywhere, load as a pair.
// This runs in a process of its own: once a process has loaded the stand-in
// from the build tree, the loader would reuse that copy.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "shell/call_ids.h"
#include "tests/support/plugin_library.h"

using namespace qmx;

namespace {

std::string copyFile(const std::string& from, const std::string& directory) {
  const std::string to = directory + "/" + from.substr(from.rfind('/') + 1);
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
  return to;
}

// The build tree's own search path would hide a missing $ORIGIN, so the pair
// is copied somewhere else first.
TEST(Relocation, plugin_loads_from_any_directory_beside_its_standin) {
  char pattern[] = "/tmp/quillmax-load-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string directory = pattern;
  const std::string plugin = copyFile(qmxtest::kPluginPath, directory);
  const std::string standin = copyFile(qmxtest::kStandinPath, directory);
  {
    qmxtest::PluginLibrary moved(plugin);
    ASSERT_TRUE(moved.loaded());
    EXPECT_EQ(moved.call(QUERY_PLUGIN_NUMBER), 889);
    void* initCount = dlsym(moved.handle(), "standin_initCommonControlsCount");
    ASSERT_NE(initCount, nullptr);
    Dl_info info{};
    ASSERT_NE(dladdr(initCount, &info), 0);
    EXPECT_EQ(std::string(info.dli_fname), standin) << "the stand-in came from elsewhere";
  }
  unlink(plugin.c_str());
  unlink(standin.c_str());
  rmdir(directory.c_str());
}

}  // namespace
