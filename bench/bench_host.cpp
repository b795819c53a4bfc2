#include "bench/bench_host.h"

#include <cstring>

#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"

namespace qmxbench {
namespace {

BenchHost* hostOf(HostControl* self) {
  return reinterpret_cast<BenchHost*>(self);
}

void* QMX_STDCALL instanceOp(HostControl*) {
  return nullptr;
}

intptr_t QMX_STDCALL noResultOp(HostControl*, int) {
  return 0;
}

intptr_t QMX_STDCALL hostCallOp(HostControl* self, IMessageArgs* record) {
  uint32_t id = 0;
  intptr_t p1 = 0;
  // The record is packed: read its fields by copy, never by reference.
  std::memcpy(&id, reinterpret_cast<const char*>(record) + offsetof(IMessageArgs, id), sizeof id);
  std::memcpy(&p1, reinterpret_cast<const char*>(record) + offsetof(IMessageArgs, p1), sizeof p1);
  if (id != HOST_SEND_MESSAGE) return 0;
  BenchHost* host = hostOf(self);
  ChatMessage copy;
  std::memcpy(&copy, reinterpret_cast<const void*>(p1), sizeof copy);
  const char* body = reinterpret_cast<const char*>(copy.body);
  ++host->copies;
  if (host->keepCopies) {
    host->copyBody = body;
    host->copyExt = reinterpret_cast<const char*>(copy.ext);
    host->copyFlags = copy.flags;
    host->copyLength = host->copyBody.size();
  } else {
    host->copyLength = std::strlen(body);
  }
  return static_cast<intptr_t>(host->copies);
}

intptr_t QMX_STDCALL readConfigOp(HostControl* self, int, int, int column, ConfigValue* value) {
  BenchHost* host = hostOf(self);
  intptr_t answer = 0;
  switch (column) {
    case COLUMN_FROM:
      answer = reinterpret_cast<intptr_t>(host->fromColumn.c_str());
      break;
    case COLUMN_TO:
      answer = reinterpret_cast<intptr_t>(host->toColumn.c_str());
      break;
    case COLUMN_TYPE:
      answer = reinterpret_cast<intptr_t>(host->typeColumn.c_str());
      break;
    case COLUMN_INCOMING:
      answer = host->incoming;
      break;
    case COLUMN_CASE_SENSITIVE:
      answer = host->caseSensitive;
      break;
    default:
      break;
  }
  std::memcpy(reinterpret_cast<char*>(value) + offsetof(ConfigValue, value), &answer,
              sizeof answer);
  return 0;
}

intptr_t QMX_STDCALL writeConfigOp(HostControl*, int, int, int, ConfigValue*) {
  return 0;
}

}  // namespace

BenchHost::BenchHost() : control{nullptr}, table{} {
  control.operations = table;
  table[HOST_OP_GET_PLUGIN_INSTANCE] = reinterpret_cast<HostOperation>(&instanceOp);
  table[HOST_OP_REPORT_NO_RESULT] = reinterpret_cast<HostOperation>(&noResultOp);
  table[HOST_OP_HOST_CALL] = reinterpret_cast<HostOperation>(&hostCallOp);
  table[HOST_OP_READ_CONFIG] = reinterpret_cast<HostOperation>(&readConfigOp);
  table[HOST_OP_WRITE_CONFIG] = reinterpret_cast<HostOperation>(&writeConfigOp);
}

intptr_t sendCall(MessageProc proc, uint32_t id, intptr_t p1) {
  IMessageArgs record{};
  record.size = sizeof record;
  record.id = id;
  record.p1 = p1;
  return proc(&record);
}

intptr_t sendMessage(MessageProc proc, const std::string& body, const std::string& ext,
                     uint32_t flags) {
  ChatMessage message{};
  message.size = sizeof message;
  message.body = reinterpret_cast<intptr_t>(body.c_str());
  message.ext = reinterpret_cast<intptr_t>(ext.c_str());
  message.flags = flags;
  return sendCall(proc, CALL_MESSAGE, reinterpret_cast<intptr_t>(&message));
}

void startPlugin(MessageProc proc, BenchHost& host) {
  sendCall(proc, CALL_INIT, host.address());
  sendCall(proc, CALL_START);
}

}  // namespace qmxbench
