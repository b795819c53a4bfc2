// Services the plug-in takes from the host, over the kept HostControl.
//
// Every service is a no-op answering 0 (or the empty text) while no
// HostControl is kept, so a host that calls out of order cannot crash the
// plug-in.
#pragma once

#include <cstdint>
#include <string>

#include "shell/host_control.h"

namespace qmx {

namespace detail {
// Kept from CALL_INIT to CALL_DEINIT; only the host's calling thread uses it.
// Here rather than in host_services.cpp only so that getConfigInt, which a
// message makes three times for every word rule, is read without a call.
inline HostControl* g_host = nullptr;
}  // namespace detail

// Keeps `host` (null forgets it). Called by CALL_INIT and CALL_DEINIT.
void setHostControl(HostControl* host);

// True while a HostControl is kept.
bool hostAvailable();

// Operation 3: the instance handle of the plug-in's module.
void* getPluginInstance();

// Operation 5: tells the host that the current call has no answer.
void reportNoResult(int code);

// Operation 7 with a plain 30-byte record: `aux1` to `aux4` are 0.
// Returns the host's answer.
intptr_t hostCall(uint32_t id, intptr_t p1, intptr_t p2);

// Operation 7 with a record the caller built (a longer one, or one with
// other values in the aux fields). Returns the host's answer.
intptr_t hostCallRecord(IMessageArgs* record);

// Reads an integer configuration column.
inline int32_t getConfigInt(int column) {
  HostControl* host = detail::g_host;
  if (!host) return 0;
  ConfigValue value{};
  value.type = kConfigInt;
  reinterpret_cast<ConfigOp>(host->operations[kHostOpReadConfig])(host, 0, 0, column, &value);
  return static_cast<int32_t>(value.value);
}

// Reads a text column: the host puts the address of its text into the value
// field, which is returned. The plug-in passes buffer 0 and size -1.
const char* getConfigString(int column, char* buffer, int32_t size);

// Reads a text column and copies it at once; a null answer reads as empty.
std::string readConfigText(int column);

// Writes a text column.
void setConfigString(int column, const char* text);

// Longest line the host's log takes.
constexpr int kHostLogMaxLength = 254;

// Formats a line printf-style, cuts it to kHostLogMaxLength characters and
// sends it to the host's log (call 1, p2 = 256). The format is always a
// literal of the plug-in's own, never a text from a user or a message.
void hostLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace qmx
