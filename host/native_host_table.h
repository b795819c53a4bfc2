// The host's operation table for a plug-in in this process: the one table
// with the messenger's exact signatures, built here for quillmax-host and
// for the hosts of the tests, benchmarks and fuzzers.
#pragma once

#include <cstdint>

#include "shell/host_control.h"

namespace qmxhost {

// The five operations the plug-in calls, with its own arguments.
class NativeHostOperations {
 public:
  virtual ~NativeHostOperations() = default;
  virtual void* getPluginInstance() = 0;
  virtual void reportNoResult(int code) = 0;
  // `record` is the plug-in's, valid only during the call.
  virtual intptr_t hostCall(qmx::IMessageArgs* record) = 0;
  // Read fills in `value`.
  virtual void readConfig(int reserved1, int reserved2, int column, qmx::ConfigValue* value) = 0;
  virtual void writeConfig(int reserved1, int reserved2, int column, qmx::ConfigValue* value) = 0;
};

// A HostControl whose table reaches `operations` at the five positions the
// plug-in calls; every other position is empty unless set.
class NativeHostTable {
 public:
  explicit NativeHostTable(NativeHostOperations& operations);
  // The plug-in keeps the control's address.
  NativeHostTable(const NativeHostTable&) = delete;
  NativeHostTable& operator=(const NativeHostTable&) = delete;

  qmx::HostControl* control() { return &block_.control; }
  // The control's address, as p1 of CALL_INIT carries it.
  intptr_t address() { return reinterpret_cast<intptr_t>(control()); }

  // Puts `operation` at `position`: a test host traps the positions the
  // plug-in must never call, and finds itself there with operationsOf.
  void setOperation(int position, qmx::HostOperation operation);
  static NativeHostOperations& operationsOf(qmx::HostControl* control);

 private:
  // A plain struct with `control` first: an operation finds its host from
  // the HostControl address it gets.
  struct Block {
    qmx::HostControl control;
    NativeHostOperations* operations;
  };
  Block block_;
  qmx::HostOperation table_[qmx::kHostOpTableSize] = {};
};

}  // namespace qmxhost
