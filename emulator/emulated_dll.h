// A 32-bit Windows DLL loaded and run under CPU emulation, as LoadLibrary
// would run it in a one-thread process whose only other modules are the
// emulated kernel32, msvcrt, user32 and comctl32. The host calls its exports
// with stdcall arguments, hands it callbacks that run C++ code, and reads
// and writes its memory through 32-bit addresses.
//
// Every fault inside the DLL (a bad access, an invalid instruction, an
// unimplemented import, an endless loop, an unbalanced stack, abort()) ends
// the call with an EmulationError naming the address, the nearest symbol and
// the call; it never crashes or hangs the host.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/pe_image.h"
#include "emulator/user32.h"

namespace qmxpe {

struct LoadOptions {
  // Address ranges (start, size) taken before the image is placed, as other
  // modules of a process would hold them; an image whose preferred base
  // falls there is relocated.
  std::vector<std::pair<uint32_t, uint32_t>> reservedRanges;
  // Instructions one call may run before it counts as an endless loop:
  // far more than any call of the plug-in needs, and reached in well under a
  // minute (Unicorn runs some 7 to 25 million instructions a second here).
  uint64_t instructionLimit = 300'000'000;
  // Size of the heap behind malloc and allocate(); a multiple of 64 KiB.
  uint32_t heapSize = 32u << 20;
  // Copy what the DLL writes to stdout and stderr to the host's stderr.
  bool echoConsole = true;
};

class Kernel32;
class Msvcrt;
class HeapAllocator;
class ImportRegistry;

class EmulatedDll {
 public:
  // Reads, maps (relocating when the preferred base is taken), binds the
  // imports, sets up implicit TLS, runs the TLS callbacks and then the entry
  // point with DLL_PROCESS_ATTACH. Throws PeError for a malformed file,
  // EmulationError for a fault during start-up, std::runtime_error when the
  // image cannot be placed or the entry point refuses to attach.
  static std::unique_ptr<EmulatedDll> load(const std::string& path,
                                           const LoadOptions& options = LoadOptions());

  // Sends DLL_PROCESS_DETACH unless unload() did, or a call has faulted: on
  // Windows a fault or abort() ends the process, which then sends no detach,
  // and the DLL's state may be broken. A fault during the detach is written
  // to the host's stderr, since a destructor cannot report it.
  ~EmulatedDll();
  EmulatedDll(const EmulatedDll&) = delete;
  EmulatedDll& operator=(const EmulatedDll&) = delete;

  // Runs the TLS callbacks and the entry point with DLL_PROCESS_DETACH, now.
  // Memory stays readable; calls into the DLL throw std::logic_error after
  // it. Throws EmulationError for a fault during the detach. A second call
  // does nothing.
  void unload();
  bool attached() const { return attached_; }
  // Whether a call (or the start-up) ended in an EmulationError.
  bool faulted() const { return faulted_; }

  // The file name (no directory), the address the image was mapped at and
  // the one it asked for.
  const std::string& name() const { return name_; }
  uint32_t base() const { return base_; }
  uint32_t preferredBase() const { return image_.imageBase(); }
  bool relocated() const { return base_ != image_.imageBase(); }
  const PeImage& image() const { return image_; }

  // The address of an export, by name; nullopt when there is none (or it
  // forwards to another DLL).
  std::optional<uint32_t> exportAddress(const std::string& name) const;

  // --- Emulated memory, for the host's records and texts ---

  // A block of the DLL's own heap (the one its malloc uses), so either side
  // may free it. Throws std::bad_alloc when the heap is exhausted.
  uint32_t allocate(uint32_t size);
  // Frees a block from allocate() or from the DLL's malloc; 0 does nothing.
  // Throws std::invalid_argument for anything else.
  void release(uint32_t address);
  // A heap copy of `text` with its terminating NUL.
  uint32_t allocateString(std::string_view text);

  // Read and write emulated memory; both throw EmulationError
  // (kAccessViolation) for unmapped or (for writes) read-only pages.
  void write(uint32_t address, const void* data, size_t size);
  void write16(uint32_t address, uint16_t value) { write(address, &value, 2); }
  void write32(uint32_t address, uint32_t value) { write(address, &value, 4); }
  std::vector<uint8_t> read(uint32_t address, size_t size) const;
  uint16_t read16(uint32_t address) const;
  uint32_t read32(uint32_t address) const;
  // The NUL-terminated text at `address`; throws when it is not terminated
  // within the heap's size (the DLL's texts live in its heap or its image).
  std::string readString(uint32_t address) const;

  // The heap behind malloc and allocate(): its size, the bytes in live
  // blocks, and how many allocations it could not serve so far.
  uint32_t heapSize() const;
  uint32_t heapBytesInUse() const;
  size_t heapRefusals() const;

  // --- Calls ---

  // Calls the stdcall function at `address` with 32-bit arguments and
  // returns EAX. `label` names the call in errors (by default the nearest
  // export and the arguments, e.g. "_IMessageProc@4(0x01000010)"). Throws
  // EmulationError on any fault, including a callee that did not remove
  // exactly its arguments; std::logic_error after unload() or from inside a
  // callback handler.
  uint32_t callStdcall(uint32_t address, const std::vector<uint32_t>& args,
                       const std::string& label = std::string());

  // Runs on the host when the DLL calls a callback; `args` holds the
  // callback's arguments (argumentCount of them), and the result becomes
  // EAX. It may read and write emulated memory, not call into the DLL. An
  // exception it throws ends the DLL's call with that message.
  using CallbackHandler = std::function<uint32_t(const uint32_t* args)>;

  // The address of a new stdcall function taking `argumentCount` 32-bit
  // arguments that runs `handler`; `name` appears in fault reports.
  uint32_t makeCallback(int argumentCount, const std::string& name, CallbackHandler handler);

  // Instructions one call may run before it is stopped as an endless loop.
  void setInstructionLimit(uint64_t limit);

  // The emulated user32 and comctl32: the windows, lists and message boxes
  // the DLL made, and the host's controls over them.
  User32& windows() { return *user32_; }
  const User32& windows() const { return *user32_; }

  // Everything the DLL wrote to stdout and stderr.
  const std::string& consoleOutput() const;

  // How often each served import and each callback ran, by the names fault
  // reports use: "import stub KERNEL32.dll!TlsAlloc", "import code
  // msvcrt.dll!_initterm", "callback NAME".
  std::map<std::string, uint64_t> stubCallCounts() const { return emulator_->stubCallCounts(); }

  // Describes an address as fault reports do: "0x6b3814b0 (Quillmax.dll!...)".
  std::string describe(uint32_t address) const { return emulator_->describe(address); }

 private:
  EmulatedDll(PeImage image, std::string name, const LoadOptions& options);
  void place();
  void bindImports();
  void setUpTls();
  void notify(uint32_t reason);
  void requireAttached(const std::string& what) const;

  PeImage image_;
  std::string name_;
  uint32_t base_ = 0;
  bool attached_ = false;
  bool faulted_ = false;
  std::unique_ptr<Emulator> emulator_;
  std::unique_ptr<HeapAllocator> heap_;
  std::unique_ptr<ImportRegistry> registry_;
  std::unique_ptr<Msvcrt> msvcrt_;
  std::unique_ptr<Kernel32> kernel32_;
  std::unique_ptr<User32> user32_;
};

}  // namespace qmxpe
