// The host's chat-message record and the record of host call 101.
#pragma once

#include <cstdint>

#include "shell/action_ref.h"
#include "shell/host_records.h"
#include "shell/record_layout.h"

namespace qmx {

// Flag bits the plug-in reads or writes in ChatMessage::flags.
enum MessageFlag : uint32_t {
  kMsgOutgoing = 0x02,  // set on messages that are not incoming
  kMsgFlag80 = 0x80,    // cleared on a received message once its copy is sent
};

#pragma pack(push, 1)

// Text fields are addresses of NUL-terminated Windows-1250 texts. Fields the
// plug-in does not interpret keep neutral names by offset; those named
// `carried*` are copied into the corrected copy.
template <typename Address>
struct ChatMessageT {
  uint16_t size;
  uint32_t reserved2;
  uint32_t carried6;
  uint32_t carried10;
  Address carriedText14;
  Address carriedText18;
  Address body;  // the text the rules correct
  Address ext;   // the message's extension parameters
  uint32_t flags;
  ActionRef ref;
  uint32_t reserved46;
  uint32_t carried50;
  uint32_t carried54;
};

#pragma pack(pop)

using ChatMessage = ChatMessageT<intptr_t>;
// Host call 101 takes a record shaped like the call record, with fixed
// values but for the message number in p1.
using Call101Args = IMessageArgs;
namespace image32 {
using ChatMessage = ChatMessageT<uint32_t>;
using Call101Args = IMessageArgs;
}  // namespace image32

QMX_ASSERT_SIZE(ChatMessage, 58, 4);
QMX_ASSERT_FIELD(ChatMessage, size, 0, 0);
QMX_ASSERT_FIELD(ChatMessage, reserved2, 2, 0);
QMX_ASSERT_FIELD(ChatMessage, carried6, 6, 0);
QMX_ASSERT_FIELD(ChatMessage, carried10, 10, 0);
QMX_ASSERT_FIELD(ChatMessage, carriedText14, 14, 0);
QMX_ASSERT_FIELD(ChatMessage, carriedText18, 18, 1);
QMX_ASSERT_FIELD(ChatMessage, body, 22, 2);
QMX_ASSERT_FIELD(ChatMessage, ext, 26, 3);
QMX_ASSERT_FIELD(ChatMessage, flags, 30, 4);
QMX_ASSERT_FIELD(ChatMessage, ref.id, 34, 4);
QMX_ASSERT_FIELD(ChatMessage, ref.parent, 38, 4);
QMX_ASSERT_FIELD(ChatMessage, ref.instance, 42, 4);
QMX_ASSERT_FIELD(ChatMessage, reserved46, 46, 4);
QMX_ASSERT_FIELD(ChatMessage, carried50, 50, 4);
QMX_ASSERT_FIELD(ChatMessage, carried54, 54, 4);

}  // namespace qmx
