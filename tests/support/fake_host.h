// A host for tests, benchmarks and fuzzers: the messenger's operation table,
// recording every call the plug-in makes and answering as a test sets.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/native_host_table.h"
#include "shell/host_control.h"

namespace qmxtest {

// One call the plug-in made into the host.
struct HostEvent {
  int operation = 0;  // table position
  // hostCall: the record's id, p1 and p2 and its bytes as sent; for HOST_LOG
  // also the text of the line.
  uint32_t id = 0;
  intptr_t p1 = 0;
  intptr_t p2 = 0;
  std::vector<uint8_t> record;
  std::string text;
  // Configuration reads and writes.
  int column = 0;
  uint16_t valueType = 0;
  intptr_t value = 0;
  int32_t valueSize = 0;
  int reserved1 = 0;
  int reserved2 = 0;
  // reportNoResult.
  int code = 0;
};

// The messenger's part as a test needs it, behind the one operation table
// (host/native_host_table.h). The positions the plug-in must never call
// record themselves too, so a test sees which one was reached.
struct FakeHost : qmxhost::NativeHostOperations {
  // Every call the plug-in made, in order, while `recordEvents` is set; a
  // long benchmark run clears it so that nothing grows and little is done
  // per call.
  std::vector<HostEvent> events;
  bool recordEvents = true;
  void* instance = reinterpret_cast<void*>(0x10000000);
  std::map<int, int32_t> intColumns;
  std::map<int, std::string> textColumns;
  // Answers text reads with a null address, as a faulty host might.
  bool nullTexts = false;
  // Reading this text column throws std::bad_alloc through the plug-in:
  // stands for an allocation failing inside its load (a rule base too
  // large for memory), which a test cannot bring about otherwise.
  int failingTextColumn = 0;
  // Answers hostCall; the default answers 0. The record is the plug-in's,
  // valid only during the call.
  std::function<intptr_t(const qmx::IMessageArgs& record)> onHostCall;
  // Run while a HOST_LOG call is in progress, for tests that look at the
  // plug-in's state at a given log line.
  std::function<void(const std::string& line)> onLog;

  FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // The address to pass as p1 of CALL_INIT.
  intptr_t address() { return table.address(); }
  qmx::HostControl* hostControl() { return table.control(); }

  // The lines sent to the log, in order.
  std::vector<std::string> logLines() const;
  // The hostCall events other than log lines, in order.
  std::vector<HostEvent> hostCalls() const;
  // Events at one table position.
  std::vector<HostEvent> eventsAt(int operation) const;
  // Positions of every event, in order (a compact picture of a call).
  std::vector<int> operationSequence() const;

  // The three stored rule columns the plug-in loads at start.
  void setRuleColumns(const std::string& from, const std::string& to, const std::string& type);

  void* getPluginInstance() override;
  void reportNoResult(int code) override;
  intptr_t hostCall(qmx::IMessageArgs* record) override;
  void readConfig(int reserved1, int reserved2, int column, qmx::ConfigValue* value) override;
  void writeConfig(int reserved1, int reserved2, int column, qmx::ConfigValue* value) override;
  // Records a call at a position the plug-in must never call.
  void unexpected(int position);

  qmxhost::NativeHostTable table{*this};
};

// Reads a little-endian integer of `width` bytes at `offset` in a record.
int64_t readLe(const std::vector<uint8_t>& bytes, size_t offset, size_t width);

}  // namespace qmxtest
