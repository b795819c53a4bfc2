// What the simulated host needs of a loaded plug-in, whatever form it takes:
// the Linux shared library in this process, or the Windows DLL under CPU
// emulation. Addresses are the plug-in's own, carried in 64 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qmxhost {

using Address = uint64_t;

// A limit of the host running the plug-in was reached (the emulator's heap
// or instruction budget): the plug-in itself did nothing wrong, and would
// have gone on in the messenger.
class HostLimitReached : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The five operations of the host's control object, as the plug-in calls
// them; the simulator implements them.
class HostOperations {
 public:
  virtual ~HostOperations() = default;
  virtual Address getPluginInstance() = 0;
  virtual void reportNoResult(int code) = 0;
  // `record` is the address of the call record in the plug-in's memory.
  virtual int64_t hostCall(Address record) = 0;
  // `value` is the address of a ConfigValue to read or fill in.
  virtual void readConfig(int column, Address value) = 0;
  virtual void writeConfig(int column, Address value) = 0;
};

// The Win32 windows the plug-in's editor makes, seen from the host.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // A top-level window standing for the messenger's settings window.
  virtual Address createSettingsWindow() = 0;
  virtual bool isWindow(Address window) = 0;
  // Rows of a list view, each the cells' texts; empty for no list.
  virtual std::vector<std::vector<std::string>> rows(Address list) = 0;
  // How many rows, without copying them: an import adds thousands.
  virtual int rowCount(Address list) = 0;
  virtual bool selectRow(Address list, int row, bool selected) = 0;
  // The answer every following message box gives (IDYES, IDNO, ...).
  virtual void setMessageBoxAnswer(int answer) = 0;
  virtual int messageBoxCount() = 0;
};

class PluginBoundary {
 public:
  virtual ~PluginBoundary() = default;

  // Width of the plug-in's addresses: 4 or 8.
  virtual size_t pointerSize() const = 0;

  // Memory the plug-in can read and write, zeroed; released by release().
  virtual Address allocate(size_t size) = 0;
  virtual void release(Address address) = 0;
  virtual void write(Address address, const void* data, size_t size) = 0;
  virtual void read(Address address, void* data, size_t size) = 0;
  // A NUL-terminated text at `address`; the empty text for address 0.
  virtual std::string readString(Address address) = 0;

  // Calls IMessageProc with the record at `record`; returns its answer.
  virtual int64_t call(Address record) = 0;

  // The address of the HostControl whose operations reach `operations`.
  virtual Address hostControl(HostOperations* operations) = 0;

  virtual WindowSystem& windows() = 0;
};

}  // namespace qmxhost
