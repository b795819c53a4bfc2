// A lean messenger for the benchmarks: the five host operations, answering
// from a few fields and keeping nothing per call, so that what is measured
// is the plug-in's work and not the host's bookkeeping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/calling_convention.h"
#include "shell/host_control.h"

namespace qmxbench {

using MessageProc = intptr_t(QMX_STDCALL*)(IMessageArgs*);

// A plain struct with `control` first: the operations find their host from
// the HostControl address the plug-in passes back.
struct BenchHost {
  HostControl control;
  HostOperation table[HOST_OP_TABLE_SIZE];

  // The three rule columns as stored ("\r\n" after every entry).
  std::string fromColumn;
  std::string toColumn;
  std::string typeColumn;
  int32_t incoming = 0;
  int32_t caseSensitive = 0;

  // The last copy handed over with call 100, when `keepCopies` is set;
  // otherwise only its length is noted.
  bool keepCopies = false;
  std::string copyBody;
  std::string copyExt;
  uint32_t copyFlags = 0;
  size_t copies = 0;
  size_t copyLength = 0;

  BenchHost();
  BenchHost(const BenchHost&) = delete;
  BenchHost& operator=(const BenchHost&) = delete;

  intptr_t address() { return reinterpret_cast<intptr_t>(&control); }
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
