#include "bench/bench_host.h"

#include <cstring>

#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "tests/support/chat_messages.h"

namespace qmxbench {

using namespace qmx;

BenchHost::BenchHost() {
  recordEvents = false;
  onHostCall = [this](const IMessageArgs& record) -> intptr_t {
    uint32_t id = 0;
    intptr_t p1 = 0;
    // The record is packed: read its fields by copy, never by reference.
    std::memcpy(&id, reinterpret_cast<const char*>(&record) + offsetof(IMessageArgs, id),
                sizeof id);
    std::memcpy(&p1, reinterpret_cast<const char*>(&record) + offsetof(IMessageArgs, p1),
                sizeof p1);
    if (id != HOST_SEND_MESSAGE) return 0;
    ChatMessage copy;
    std::memcpy(&copy, reinterpret_cast<const void*>(p1), sizeof copy);
    const char* body = reinterpret_cast<const char*>(copy.body);
    ++copies;
    if (keepCopies) {
      copyBody = body;
      copyExt = reinterpret_cast<const char*>(copy.ext);
      copyFlags = copy.flags;
      copyLength = copyBody.size();
    } else {
      copyLength = std::strlen(body);
    }
    return static_cast<intptr_t>(copies);
  };
}

intptr_t sendCall(MessageProc proc, uint32_t id, intptr_t p1) {
  return qmxhost::callPlugin(proc, id, p1);
}

intptr_t sendMessage(MessageProc proc, const std::string& body, const std::string& ext,
                     uint32_t flags) {
  ChatMessage message = qmxtest::chatMessage(body, ext, flags);
  return sendCall(proc, CALL_MESSAGE, reinterpret_cast<intptr_t>(&message));
}

void startPlugin(MessageProc proc, BenchHost& host) {
  sendCall(proc, CALL_INIT, host.address());
  sendCall(proc, CALL_START);
}

}  // namespace qmxbench
