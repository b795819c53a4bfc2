// The host of the benchmarks and the memory run: the test host
// (tests/support/fake_host.h) recording nothing per call, so that what is
// measured is the plug-in's work and not the host's bookkeeping, and
// keeping of each copy the plug-in hands over what a run needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/plugin_module.h"
#include "tests/support/fake_host.h"

namespace qmxbench {

using MessageProc = qmxhost::MessageProc;

struct BenchHost : qmxtest::FakeHost {
  // The last copy handed over with call 100, when `keepCopies` is set;
  // otherwise only its length is noted.
  bool keepCopies = false;
  std::string copyBody;
  std::string copyExt;
  uint32_t copyFlags = 0;
  size_t copies = 0;
  size_t copyLength = 0;

  BenchHost();
};

// Sends a plain call record through `proc`.
intptr_t sendCall(MessageProc proc, uint32_t id, intptr_t p1 = 0);

// Sends a chat message through CALL_MESSAGE; returns the plug-in's answer
// (2 when it handed over a corrected copy).
intptr_t sendMessage(MessageProc proc, const std::string& body, const std::string& ext,
                     uint32_t flags);

// CALL_INIT with `host`, then CALL_START, which loads the host's rule
// columns.
void startPlugin(MessageProc proc, BenchHost& host);

}  // namespace qmxbench
