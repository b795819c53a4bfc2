// Fuzzes the message path through the plug-in's entry point: arbitrary rule
// columns, message text, extension text and options, through the rule-base
// load, the correction, and the marked copy coming back.
//
// Besides crashes, leaks and hangs it checks what the messenger relies on:
// a message is either left alone (answer 0) or replaced by exactly one copy
// (answer 2), the copy carries the mark, and the copy passed back is left
// alone.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "correction/ext_params.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/entry_point.h"
#include "shell/host_control.h"

namespace {

// Rule bases and messages beyond this size only slow the fuzzer down.
constexpr size_t kMaxInput = 8192;

struct Host {
  std::string from, to, type;
  int32_t incoming = 0;
  int32_t caseSensitive = 0;
  std::vector<std::string> copies;  // bodies and exts handed over with call 100
  std::vector<std::string> copyExts;
  uint32_t copyFlags = 0;
};

Host g_host;

void check(bool holds, const char* promise) {
  if (holds) return;
  std::fputs(promise, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

void* QMX_STDCALL instanceOp(HostControl*) {
  return nullptr;
}
intptr_t QMX_STDCALL noResultOp(HostControl*, int) {
  return 0;
}

intptr_t QMX_STDCALL hostCallOp(HostControl*, IMessageArgs* record) {
  if (record->id != HOST_SEND_MESSAGE) return 0;
  const auto* copy = reinterpret_cast<const ChatMessage*>(record->p1);
  g_host.copies.emplace_back(reinterpret_cast<const char*>(copy->body));
  g_host.copyExts.emplace_back(reinterpret_cast<const char*>(copy->ext));
  g_host.copyFlags = copy->flags;
  return static_cast<intptr_t>(g_host.copies.size());
}

intptr_t QMX_STDCALL readConfigOp(HostControl*, int, int, int column, ConfigValue* value) {
  intptr_t answer = 0;
  switch (column) {
    case COLUMN_FROM:
      answer = reinterpret_cast<intptr_t>(g_host.from.c_str());
      break;
    case COLUMN_TO:
      answer = reinterpret_cast<intptr_t>(g_host.to.c_str());
      break;
    case COLUMN_TYPE:
      answer = reinterpret_cast<intptr_t>(g_host.type.c_str());
      break;
    case COLUMN_INCOMING:
      answer = g_host.incoming;
      break;
    case COLUMN_CASE_SENSITIVE:
      answer = g_host.caseSensitive;
      break;
    default:
      break;
  }
  value->value = answer;
  return 0;
}

intptr_t QMX_STDCALL writeConfigOp(HostControl*, int, int, int, ConfigValue*) {
  return 0;
}

intptr_t send(uint32_t id, intptr_t p1 = 0) {
  IMessageArgs record{};
  record.size = sizeof record;
  record.id = id;
  record.p1 = p1;
  return IMessageProc(&record);
}

intptr_t sendMessage(const std::string& body, const std::string& ext, uint32_t flags) {
  ChatMessage message{};
  message.size = sizeof message;
  message.body = reinterpret_cast<intptr_t>(body.c_str());
  message.ext = reinterpret_cast<intptr_t>(ext.c_str());
  message.flags = flags;
  return send(CALL_MESSAGE, reinterpret_cast<intptr_t>(&message));
}

// Texts cross the boundary NUL-terminated: keep what the host would pass.
std::string asText(std::string text) {
  text.resize(std::strlen(text.c_str()));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  FuzzedDataProvider input(data, size);
  g_host = Host();
  g_host.from = asText(input.ConsumeRandomLengthString(2048));
  g_host.to = asText(input.ConsumeRandomLengthString(1024));
  g_host.type = asText(input.ConsumeRandomLengthString(64));
  g_host.incoming = input.ConsumeIntegral<int32_t>();
  g_host.caseSensitive = input.ConsumeIntegral<int32_t>();
  const uint32_t flags = input.ConsumeIntegral<uint32_t>();
  const std::string ext = asText(input.ConsumeRandomLengthString(256));
  const std::string body = asText(input.ConsumeRemainingBytesAsString());

  static HostOperation table[HOST_OP_TABLE_SIZE];
  table[HOST_OP_GET_PLUGIN_INSTANCE] = reinterpret_cast<HostOperation>(&instanceOp);
  table[HOST_OP_REPORT_NO_RESULT] = reinterpret_cast<HostOperation>(&noResultOp);
  table[HOST_OP_HOST_CALL] = reinterpret_cast<HostOperation>(&hostCallOp);
  table[HOST_OP_READ_CONFIG] = reinterpret_cast<HostOperation>(&readConfigOp);
  table[HOST_OP_WRITE_CONFIG] = reinterpret_cast<HostOperation>(&writeConfigOp);
  static HostControl control{table};

  send(CALL_INIT, reinterpret_cast<intptr_t>(&control));
  send(CALL_START);
  const intptr_t answer = sendMessage(body, ext, flags);
  check(answer == 0 || answer == 2, "a message answer other than 0 or 2");
  check(g_host.copies.size() == (answer == 2 ? 1u : 0u), "not exactly one copy per replacement");
  if (answer == 2) {
    check(getExtParam(g_host.copyExts[0], "quillmax") == "1", "the copy is not marked");
    const std::string copy = g_host.copies[0];
    const std::string copyExt = g_host.copyExts[0];
    check(sendMessage(copy, copyExt, g_host.copyFlags) == 0, "the marked copy was corrected again");
    check(g_host.copies.size() == 1, "the marked copy produced another copy");
  }
  send(CALL_END);
  send(CALL_DEINIT);
  return 0;
}
