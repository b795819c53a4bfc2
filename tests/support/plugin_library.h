// Loads Quillmax.so with quillmax-host's own loader and calls its entry
// point, for tests, benchmarks and the memory run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/plugin_module.h"
#include "shell/host_records.h"

namespace qmxtest {

// The Quillmax.so and stand-in built beside the tests.
extern const char kPluginPath[];
extern const char kStandinPath[];

class PluginLibrary {
 public:
  // Opens the library at `path` and finds IMessageProc. Never throws: when
  // either step fails, loaded() is false and error() says why (the reason
  // is printed too, for the test that fails on it).
  explicit PluginLibrary(const std::string& path = kPluginPath);
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }
  const std::string& error() const { return error_; }
  // The library's handle, for dlsym of the stand-in's own functions.
  void* handle() const { return module_->handle(); }

  // Sends a plain record with the given id, p1 and p2.
  intptr_t call(uint32_t id, intptr_t p1 = 0, intptr_t p2 = 0) { return module_->call(id, p1, p2); }
  qmxhost::MessageProc proc() const { return module_->proc(); }
  // Sends the record as given.
  intptr_t callRecord(qmx::IMessageArgs* record) { return module_->proc()(record); }

 private:
  std::unique_ptr<qmxhost::PluginModule> module_;
  std::string error_;
};

}  // namespace qmxtest
