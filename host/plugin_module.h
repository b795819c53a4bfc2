// The plug-in as a Linux shared library, opened with dlopen as the
// messenger opens the DLL, and its entry point.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "shell/calling_convention.h"
#include "shell/host_records.h"

namespace qmxhost {

class PluginLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using MessageProc = intptr_t(QMX_STDCALL*)(qmx::IMessageArgs*);

// Calls `proc` with a plain record (see plainRecord).
intptr_t callPlugin(MessageProc proc, uint32_t id, intptr_t p1 = 0, intptr_t p2 = 0);

class PluginModule {
 public:
  // Opens the library at `path` and finds IMessageProc. Throws
  // PluginLoadError.
  explicit PluginModule(const std::string& path);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // The library's handle, for dlsym of the stand-in's own functions.
  void* handle() const { return handle_; }
  MessageProc proc() const { return proc_; }

  intptr_t call(uint32_t id, intptr_t p1 = 0, intptr_t p2 = 0) const {
    return callPlugin(proc_, id, p1, p2);
  }

 private:
  void* handle_ = nullptr;
  MessageProc proc_ = nullptr;
};

}  // namespace qmxhost
