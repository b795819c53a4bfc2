// The plug-in's main work: correcting one chat message.
#pragma once

#include "correction/rule_loop.h"
#include "shell/chat_message.h"

namespace qmx {

// The ext key and value that mark a copy the plug-in made.
extern const char kCorrectionMarkKey[];
extern const char kCorrectionMarkValue[];

// Corrects `message` when it is eligible (outgoing, or incoming with the
// incoming option on) and not marked: runs every rule over a copy of its
// text, hands the host a marked copy (call 100) and, when the host took it
// (answered a message number), announces it (call 101) and clears bit 0x80
// of `message`. Returns true when the host took the copy; false when the
// message is left alone, untouched, and when the host refused the copy (the
// original then stays the host's to deliver). A null body or ext reads as
// the empty text.
bool correctMessage(ChatMessage* message);

// The rule loop keeps a prepared rule base and compiled patterns from one
// message to the next; this lets them go (at the end of a session, before
// a reload). A changed rule base replaces them at the next message anyway.
void releaseCorrectionState();

}  // namespace qmx
