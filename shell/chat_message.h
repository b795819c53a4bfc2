// The host's chat-message record and the record of host call 101.
#pragma once

#include <cstdint>

#include "shell/action_ref.h"
#include "shell/host_records.h"
#include "shell/record_layout.h"

namespace qmx {

// Flag bits the plug-in reads or writes in ChatMessage::flags.
enum MessageFlag : uint32_t {
  MSG_OUTGOING = 0x02,  // set on messages that are not incoming
  kMsgFlag80 = 0x80,    // cleared on a received message once its copy is sent
};

#pragma pack(push, 1)

// Text fields are addresses of NUL-terminated Windows-1250 texts. Fields the
// plug-in does not interpret keep neutral names by offset; those named
// `carried*` are copied into the corrected copy.
struct ChatMessage {
  uint16_t size;
  uint32_t reserved2;
  uint32_t carried6;
  uint32_t carried10;
  intptr_t carriedText14;
  intptr_t carriedText18;
  intptr_t body;  // the text the rules correct
  intptr_t ext;   // the message's extension parameters
  uint32_t flags;
  ActionRef ref;
  uint32_t reserved46;
  uint32_t carried50;
  uint32_t carried54;
};

#pragma pack(pop)

QMX_ASSERT_LAYOUT_32(ChatMessage, 58);
QMX_ASSERT_OFFSET_32(ChatMessage, size, 0);
QMX_ASSERT_OFFSET_32(ChatMessage, reserved2, 2);
QMX_ASSERT_OFFSET_32(ChatMessage, carried6, 6);
QMX_ASSERT_OFFSET_32(ChatMessage, carried10, 10);
QMX_ASSERT_OFFSET_32(ChatMessage, carriedText14, 14);
QMX_ASSERT_OFFSET_32(ChatMessage, carriedText18, 18);
QMX_ASSERT_OFFSET_32(ChatMessage, body, 22);
QMX_ASSERT_OFFSET_32(ChatMessage, ext, 26);
QMX_ASSERT_OFFSET_32(ChatMessage, flags, 30);
QMX_ASSERT_OFFSET_32(ChatMessage, ref, 34);
QMX_ASSERT_OFFSET_32(ChatMessage, reserved46, 46);
QMX_ASSERT_OFFSET_32(ChatMessage, carried50, 50);
QMX_ASSERT_OFFSET_32(ChatMessage, carried54, 54);

// Host call 101 takes a record shaped like the call record, with fixed
// values but for the message number in p1.
using Call101Args = IMessageArgs;

}  // namespace qmx
