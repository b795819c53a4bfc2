// Chat-message records as the messenger sends them, for the hosts of the
// tests, benchmarks and fuzzers.
#pragma once

#include <cstdint>
#include <string>

#include "shell/chat_message.h"

namespace qmxtest {

// A record of `body`, `ext` and `flags`, every other field 0. The texts
// must outlive it.
inline qmx::ChatMessage chatMessage(const std::string& body, const std::string& ext,
                                    uint32_t flags) {
  qmx::ChatMessage message{};
  message.size = sizeof(qmx::ChatMessage);
  message.body = reinterpret_cast<intptr_t>(body.c_str());
  message.ext = reinterpret_cast<intptr_t>(ext.c_str());
  message.flags = flags;
  return message;
}

}  // namespace qmxtest
