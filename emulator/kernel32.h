// The emulated kernel32.dll: what a mingw-w64 image's runtime calls (critical
// sections, TLS slots, semaphores, module lookups, memory queries, code page
// conversion) for a process with one thread and one module, the loaded
// image.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/import_registry.h"
#include "emulator/pe_image.h"

namespace qmxpe {

class Kernel32 {
 public:
  static constexpr const char* kDll = "KERNEL32.dll";

  // Windows error codes these functions set.
  static constexpr uint32_t kErrorInvalidHandle = 6;
  static constexpr uint32_t kErrorBadLength = 24;
  static constexpr uint32_t kErrorInvalidParameter = 87;
  static constexpr uint32_t kErrorInsufficientBuffer = 122;
  static constexpr uint32_t kErrorModNotFound = 126;
  static constexpr uint32_t kErrorProcNotFound = 127;
  static constexpr uint32_t kErrorTooManyPosts = 298;
  static constexpr uint32_t kErrorInvalidAddress = 487;
  static constexpr uint32_t kErrorNoAccess = 998;
  static constexpr uint32_t kErrorNoUnicodeTranslation = 1113;

  static constexpr uint32_t kTlsSlots = 1088;  // 64 in the TEB and 1024 more

  explicit Kernel32(Emulator& emulator);
  Kernel32(const Kernel32&) = delete;
  Kernel32& operator=(const Kernel32&) = delete;

  // The one module of the process, for GetModuleHandle, GetProcAddress and
  // LoadLibrary; `fileName` is its name without a directory.
  void setModule(const PeImage* image, uint32_t base, const std::string& fileName);

  void registerImports(ImportRegistry& registry);

  // The module handle for a name as GetModuleHandle takes it (null: the
  // module itself), or 0.
  uint32_t moduleHandle(const std::string* name) const;

 private:
  struct Semaphore {
    int32_t count;
    int32_t maximum;
  };

  // The imports by family.
  void addCriticalSections(const DllFunctions& functions);
  void addThreadLocalStorage(const DllFunctions& functions);
  void addThreadState(const DllFunctions& functions);  // last error, thread id, Sleep
  void addModules(const DllFunctions& functions);
  void addSemaphores(const DllFunctions& functions);
  void addMemoryAndCodePages(const DllFunctions& functions);

  // A module name given to an A (`wide` false) or W function, in the code
  // page module names are compared in.
  std::string moduleNameAt(uint32_t address, bool wide) const;
  // The handle of the module named at `address`, or 0 with the last error
  // set.
  uint32_t moduleNamedAt(uint32_t address, bool wide);
  uint32_t procAddress(uint32_t module, uint32_t nameOrOrdinal) const;
  uint32_t tlsAlloc();
  uint32_t createSemaphore(int32_t initial, int32_t maximum);
  uint32_t releaseSemaphore(uint32_t handle, int32_t release, uint32_t previousCount);
  uint32_t waitForSingleObject(uint32_t handle, uint32_t milliseconds);
  uint32_t virtualQuery(uint32_t address, uint32_t info, uint32_t length);
  uint32_t virtualProtect(uint32_t address, uint32_t size, uint32_t protection,
                          uint32_t oldProtection);
  uint32_t multiByteToWideChar(const StubCall& call);
  uint32_t wideCharToMultiByte(const StubCall& call);
  uint32_t fail(uint32_t error, uint32_t result = 0);

  Emulator& emulator_;
  const PeImage* image_ = nullptr;
  uint32_t base_ = 0;
  std::string fileName_;
  std::vector<bool> tlsUsed_;
  std::vector<uint32_t> tlsValues_;
  std::map<uint32_t, Semaphore> semaphores_;
  uint32_t nextHandle_ = 0x100;
};

}  // namespace qmxpe
