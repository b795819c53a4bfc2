#include "tests/support/fake_host.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "shell/call_ids.h"

namespace qmxtest {
namespace {

FakeHost* hostOf(HostControl* self) {
  return reinterpret_cast<FakeHostControl*>(self)->owner;
}

// Records are read with memcpy: their fields are packed and may be misaligned.
template <typename T>
T readField(const void* base, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(base) + offset, sizeof value);
  return value;
}

void* QMX_STDCALL getPluginInstanceOp(HostControl* self) {
  FakeHost* host = hostOf(self);
  HostEvent event;
  event.operation = HOST_OP_GET_PLUGIN_INSTANCE;
  host->events.push_back(event);
  return host->instance;
}

intptr_t QMX_STDCALL reportNoResultOp(HostControl* self, int code) {
  FakeHost* host = hostOf(self);
  HostEvent event;
  event.operation = HOST_OP_REPORT_NO_RESULT;
  event.code = code;
  host->events.push_back(event);
  return 0;
}

// Caps what is copied of a record whose size field would be garbage.
constexpr size_t kMaxRecordCopy = 4096;

intptr_t QMX_STDCALL hostCallOp(HostControl* self, IMessageArgs* record) {
  FakeHost* host = hostOf(self);
  HostEvent event;
  event.operation = HOST_OP_HOST_CALL;
  const auto size = readField<uint16_t>(record, offsetof(IMessageArgs, size));
  size_t copied = size < kMaxRecordCopy ? size : kMaxRecordCopy;
  if (copied < sizeof(IMessageArgs)) copied = sizeof(IMessageArgs);
  const auto* bytes = reinterpret_cast<const uint8_t*>(record);
  event.record.assign(bytes, bytes + copied);
  event.id = readField<uint32_t>(record, offsetof(IMessageArgs, id));
  event.p1 = readField<intptr_t>(record, offsetof(IMessageArgs, p1));
  event.p2 = readField<intptr_t>(record, offsetof(IMessageArgs, p2));
  if (event.id == HOST_LOG && event.p1 != 0) {
    event.text = reinterpret_cast<const char*>(event.p1);
  }
  host->events.push_back(event);
  if (event.id == HOST_LOG && host->onLog) host->onLog(event.text);
  return host->onHostCall ? host->onHostCall(*record) : 0;
}

void recordConfigCall(FakeHost* host, int operation, int reserved1, int reserved2, int column,
                      const ConfigValue* value) {
  HostEvent event;
  event.operation = operation;
  event.reserved1 = reserved1;
  event.reserved2 = reserved2;
  event.column = column;
  event.valueType = readField<uint16_t>(value, offsetof(ConfigValue, type));
  event.value = readField<intptr_t>(value, offsetof(ConfigValue, value));
  event.valueSize = readField<int32_t>(value, offsetof(ConfigValue, size));
  if (operation == HOST_OP_WRITE_CONFIG && event.valueType == CONFIG_TEXT && event.value) {
    event.text = reinterpret_cast<const char*>(event.value);
  }
  host->events.push_back(event);
}

intptr_t QMX_STDCALL readConfigOp(HostControl* self, int reserved1, int reserved2, int column,
                                  ConfigValue* value) {
  FakeHost* host = hostOf(self);
  recordConfigCall(host, HOST_OP_READ_CONFIG, reserved1, reserved2, column, value);
  intptr_t answer = 0;
  if (readField<uint16_t>(value, offsetof(ConfigValue, type)) == CONFIG_TEXT) {
    if (column == host->failingTextColumn) throw std::bad_alloc();
    // The map node keeps the text alive and in place until it is written.
    if (!host->nullTexts) answer = reinterpret_cast<intptr_t>(host->textColumns[column].c_str());
  } else {
    auto found = host->intColumns.find(column);
    answer = found == host->intColumns.end() ? 0 : found->second;
  }
  std::memcpy(reinterpret_cast<char*>(value) + offsetof(ConfigValue, value), &answer,
              sizeof answer);
  return 0;
}

intptr_t QMX_STDCALL writeConfigOp(HostControl* self, int reserved1, int reserved2, int column,
                                   ConfigValue* value) {
  FakeHost* host = hostOf(self);
  recordConfigCall(host, HOST_OP_WRITE_CONFIG, reserved1, reserved2, column, value);
  const HostEvent& event = host->events.back();
  if (event.valueType == CONFIG_TEXT) {
    host->textColumns[column] = event.text;
  } else {
    host->intColumns[column] = static_cast<int32_t>(event.value);
  }
  return 0;
}

// Positions the plug-in must never call: each records itself, so a test sees
// which one was reached. A real host would have other operations there.
template <int Position>
intptr_t QMX_STDCALL unexpectedOp(HostControl* self) {
  HostEvent event;
  event.operation = Position;
  hostOf(self)->events.push_back(event);
  return 0;
}

template <size_t... Positions>
void fillWithTraps(HostOperation* table, std::index_sequence<Positions...>) {
  ((table[Positions] = reinterpret_cast<HostOperation>(&unexpectedOp<Positions>)), ...);
}

}  // namespace

FakeHost::FakeHost() {
  control.control.operations = table;
  control.owner = this;
  fillWithTraps(table, std::make_index_sequence<HOST_OP_TABLE_SIZE>());
  table[HOST_OP_GET_PLUGIN_INSTANCE] = reinterpret_cast<HostOperation>(&getPluginInstanceOp);
  table[HOST_OP_REPORT_NO_RESULT] = reinterpret_cast<HostOperation>(&reportNoResultOp);
  table[HOST_OP_HOST_CALL] = reinterpret_cast<HostOperation>(&hostCallOp);
  table[HOST_OP_READ_CONFIG] = reinterpret_cast<HostOperation>(&readConfigOp);
  table[HOST_OP_WRITE_CONFIG] = reinterpret_cast<HostOperation>(&writeConfigOp);
}

std::vector<std::string> FakeHost::logLines() const {
  std::vector<std::string> lines;
  for (const HostEvent& event : events) {
    if (event.operation == HOST_OP_HOST_CALL && event.id == HOST_LOG) lines.push_back(event.text);
  }
  return lines;
}

std::vector<HostEvent> FakeHost::hostCalls() const {
  std::vector<HostEvent> calls;
  for (const HostEvent& event : events) {
    if (event.operation == HOST_OP_HOST_CALL && event.id != HOST_LOG) calls.push_back(event);
  }
  return calls;
}

std::vector<HostEvent> FakeHost::eventsAt(int operation) const {
  std::vector<HostEvent> found;
  for (const HostEvent& event : events) {
    if (event.operation == operation) found.push_back(event);
  }
  return found;
}

std::vector<int> FakeHost::operationSequence() const {
  std::vector<int> sequence;
  for (const HostEvent& event : events) sequence.push_back(event.operation);
  return sequence;
}

int64_t readLe(const std::vector<uint8_t>& bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width && offset + i < bytes.size(); ++i) {
    value |= static_cast<uint64_t>(bytes[offset + i]) << (8 * i);
  }
  // Sign-extend so that -1 in a 4-byte field reads as -1.
  if (width < 8 && (value >> (8 * width - 1)) & 1) value |= ~0ULL << (8 * width);
  return static_cast<int64_t>(value);
}

}  // namespace qmxtest
