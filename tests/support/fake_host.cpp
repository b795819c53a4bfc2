#include "tests/support/fake_host.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "shell/call_ids.h"
#include "shell/element_ids.h"

namespace qmxtest {

using namespace qmx;

namespace {

// Records are read with memcpy: their fields are packed and may be misaligned.
template <typename T>
T readField(const void* base, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(base) + offset, sizeof value);
  return value;
}

// Caps what is copied of a record whose size field would be garbage.
constexpr size_t kMaxRecordCopy = 4096;

void recordConfigCall(FakeHost& host, int operation, int reserved1, int reserved2, int column,
                      const ConfigValue* value) {
  HostEvent event;
  event.operation = operation;
  event.reserved1 = reserved1;
  event.reserved2 = reserved2;
  event.column = column;
  event.valueType = readField<uint16_t>(value, offsetof(ConfigValue, type));
  event.value = readField<intptr_t>(value, offsetof(ConfigValue, value));
  event.valueSize = readField<int32_t>(value, offsetof(ConfigValue, size));
  if (operation == kHostOpWriteConfig && event.valueType == kConfigText && event.value) {
    event.text = reinterpret_cast<const char*>(event.value);
  }
  host.events.push_back(std::move(event));
}

template <int Position>
intptr_t QMX_STDCALL unexpectedOp(HostControl* self) {
  static_cast<FakeHost&>(qmxhost::NativeHostTable::operationsOf(self)).unexpected(Position);
  return 0;
}

bool isHostOperation(size_t position) {
  return position == kHostOpGetPluginInstance || position == kHostOpReportNoResult ||
         position == kHostOpHostCall || position == kHostOpReadConfig ||
         position == kHostOpWriteConfig;
}

template <size_t... Positions>
void trapOthers(qmxhost::NativeHostTable& table, std::index_sequence<Positions...>) {
  ((isHostOperation(Positions)
        ? void()
        : table.setOperation(Positions, reinterpret_cast<HostOperation>(&unexpectedOp<Positions>))),
   ...);
}

}  // namespace

FakeHost::FakeHost() {
  // A real host would have other operations there.
  trapOthers(table, std::make_index_sequence<kHostOpTableSize>());
}

void FakeHost::unexpected(int position) {
  HostEvent event;
  event.operation = position;
  events.push_back(event);
}

void* FakeHost::getPluginInstance() {
  if (recordEvents) {
    HostEvent event;
    event.operation = kHostOpGetPluginInstance;
    events.push_back(event);
  }
  return instance;
}

void FakeHost::reportNoResult(int code) {
  if (!recordEvents) return;
  HostEvent event;
  event.operation = kHostOpReportNoResult;
  event.code = code;
  events.push_back(event);
}

intptr_t FakeHost::hostCall(IMessageArgs* record) {
  const auto id = readField<uint32_t>(record, offsetof(IMessageArgs, id));
  const auto p1 = readField<intptr_t>(record, offsetof(IMessageArgs, p1));
  const bool logLine = id == HOST_LOG && p1 != 0;
  if (recordEvents) {
    HostEvent event;
    event.operation = kHostOpHostCall;
    const auto size = readField<uint16_t>(record, offsetof(IMessageArgs, size));
    size_t copied = size < kMaxRecordCopy ? size : kMaxRecordCopy;
    if (copied < sizeof(IMessageArgs)) copied = sizeof(IMessageArgs);
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    event.record.assign(bytes, bytes + copied);
    event.id = id;
    event.p1 = p1;
    event.p2 = readField<intptr_t>(record, offsetof(IMessageArgs, p2));
    if (logLine) event.text = reinterpret_cast<const char*>(p1);
    events.push_back(std::move(event));
  }
  if (logLine && onLog) onLog(reinterpret_cast<const char*>(p1));
  return onHostCall ? onHostCall(*record) : 0;
}

void FakeHost::readConfig(int reserved1, int reserved2, int column, ConfigValue* value) {
  if (recordEvents) recordConfigCall(*this, kHostOpReadConfig, reserved1, reserved2, column, value);
  intptr_t answer = 0;
  if (readField<uint16_t>(value, offsetof(ConfigValue, type)) == kConfigText) {
    if (column == failingTextColumn) throw std::bad_alloc();
    // The map node keeps the text alive and in place until it is written.
    if (!nullTexts) answer = reinterpret_cast<intptr_t>(textColumns[column].c_str());
  } else {
    auto found = intColumns.find(column);
    answer = found == intColumns.end() ? 0 : found->second;
  }
  std::memcpy(reinterpret_cast<char*>(value) + offsetof(ConfigValue, value), &answer,
              sizeof answer);
}

void FakeHost::writeConfig(int reserved1, int reserved2, int column, ConfigValue* value) {
  const auto type = readField<uint16_t>(value, offsetof(ConfigValue, type));
  const auto written = readField<intptr_t>(value, offsetof(ConfigValue, value));
  if (recordEvents)
    recordConfigCall(*this, kHostOpWriteConfig, reserved1, reserved2, column, value);
  if (type == kConfigText) {
    textColumns[column] = written ? reinterpret_cast<const char*>(written) : "";
  } else {
    intColumns[column] = static_cast<int32_t>(written);
  }
}

std::vector<std::string> FakeHost::logLines() const {
  std::vector<std::string> lines;
  for (const HostEvent& event : events) {
    if (event.operation == kHostOpHostCall && event.id == HOST_LOG) lines.push_back(event.text);
  }
  return lines;
}

std::vector<HostEvent> FakeHost::hostCalls() const {
  std::vector<HostEvent> calls;
  for (const HostEvent& event : events) {
    if (event.operation == kHostOpHostCall && event.id != HOST_LOG) calls.push_back(event);
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

void FakeHost::setRuleColumns(const std::string& from, const std::string& to,
                              const std::string& type) {
  textColumns[kColumnFrom] = from;
  textColumns[kColumnTo] = to;
  textColumns[kColumnType] = type;
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
