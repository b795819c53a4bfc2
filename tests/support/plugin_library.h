// Loads the plug-in library the way the host does and calls its entry point.
#pragma once

#include <cstdint>
#include <string>

#include "shell/calling_convention.h"
#include "shell/host_records.h"

namespace qmxtest {

using IMessageProcFn = intptr_t(QMX_STDCALL*)(IMessageArgs*);

// The Quillmax.so and stand-in built beside the tests.
extern const char kPluginPath[];
extern const char kStandinPath[];

class PluginLibrary {
 public:
  // Opens the library at `path` (dlopen) and finds IMessageProc; fails the
  // current test when either step fails.
  explicit PluginLibrary(const std::string& path = kPluginPath);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return proc_ != nullptr; }
  // The library's handle, for dlsym of the stand-in's own functions.
  void* handle() const { return handle_; }

  // Sends a plain 30-byte record with the given id, p1 and p2.
  intptr_t call(uint32_t id, intptr_t p1 = 0, intptr_t p2 = 0);
  // Sends the record as given.
  intptr_t callRecord(IMessageArgs* record) { return proc_(record); }

 private:
  void* handle_ = nullptr;
  IMessageProcFn proc_ = nullptr;
};

}  // namespace qmxtest
