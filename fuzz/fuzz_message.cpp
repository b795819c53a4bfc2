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
#include "host/plugin_module.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/entry_point.h"
#include "tests/support/chat_messages.h"
#include "tests/support/fake_host.h"

using namespace qmx;

namespace {

// Rule bases and messages beyond this size only slow the fuzzer down.
constexpr size_t kMaxInput = 8192;

// The copies handed over with call 100 during one input, bodies and exts.
struct Copies {
  std::vector<std::string> bodies;
  std::vector<std::string> exts;
  uint32_t flags = 0;
};

void check(bool holds, const char* promise) {
  if (holds) return;
  std::fputs(promise, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

intptr_t send(uint32_t id, intptr_t p1 = 0) {
  return qmxhost::callPlugin(&IMessageProc, id, p1);
}

intptr_t sendMessage(const std::string& body, const std::string& ext, uint32_t flags) {
  ChatMessage message = qmxtest::chatMessage(body, ext, flags);
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
  qmxtest::FakeHost host;
  host.recordEvents = false;
  host.textColumns[kColumnFrom] = asText(input.ConsumeRandomLengthString(2048));
  host.textColumns[kColumnTo] = asText(input.ConsumeRandomLengthString(1024));
  host.textColumns[kColumnType] = asText(input.ConsumeRandomLengthString(64));
  host.intColumns[kColumnIncoming] = input.ConsumeIntegral<int32_t>();
  host.intColumns[kColumnCaseSensitive] = input.ConsumeIntegral<int32_t>();
  const uint32_t flags = input.ConsumeIntegral<uint32_t>();
  const std::string ext = asText(input.ConsumeRandomLengthString(256));
  const std::string body = asText(input.ConsumeRemainingBytesAsString());

  Copies copies;
  host.onHostCall = [&copies](const IMessageArgs& record) -> intptr_t {
    if (record.id != HOST_SEND_MESSAGE) return 0;
    const auto* copy = reinterpret_cast<const ChatMessage*>(record.p1);
    copies.bodies.emplace_back(reinterpret_cast<const char*>(copy->body));
    copies.exts.emplace_back(reinterpret_cast<const char*>(copy->ext));
    copies.flags = copy->flags;
    return static_cast<intptr_t>(copies.bodies.size());
  };

  send(CALL_INIT, host.address());
  send(CALL_START);
  const intptr_t answer = sendMessage(body, ext, flags);
  check(answer == 0 || answer == 2, "a message answer other than 0 or 2");
  check(copies.bodies.size() == (answer == 2 ? 1u : 0u), "not exactly one copy per replacement");
  if (answer == 2) {
    check(getExtParam(copies.exts[0], "quillmax") == "1", "the copy is not marked");
    const std::string copy = copies.bodies[0];
    const std::string copyExt = copies.exts[0];
    check(sendMessage(copy, copyExt, copies.flags) == 0, "the marked copy was corrected again");
    check(copies.bodies.size() == 1, "the marked copy produced another copy");
  }
  send(CALL_END);
  send(CALL_DEINIT);
  return 0;
}
