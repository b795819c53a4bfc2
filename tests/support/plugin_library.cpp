#include "tests/support/plugin_library.h"

#include <iostream>

namespace qmxtest {

const char kPluginPath[] = QUILLMAX_PLUGIN_PATH;
const char kStandinPath[] = QUILLMAX_STANDIN_PATH;

PluginLibrary::PluginLibrary(const std::string& path) {
  try {
    module_ = std::make_unique<qmxhost::PluginModule>(path);
  } catch (const qmxhost::PluginLoadError& loadError) {
    error_ = loadError.what();
    std::cerr << "PluginLibrary: " << error_ << '\n';
  }
}

}  // namespace qmxtest
