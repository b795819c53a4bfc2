#include "shell/host_services.h"

#include <cstdarg>
#include <cstdio>

#include "shell/call_ids.h"

namespace qmx {

namespace {

using detail::g_host;

template <typename Op>
Op operation(HostOperationIndex index) {
  return reinterpret_cast<Op>(g_host->operations[index]);
}

// The host's log call carries this value in p2.
constexpr intptr_t kHostLogP2 = 256;

}  // namespace

void setHostControl(HostControl* host) {
  g_host = host;
}

bool hostAvailable() {
  return g_host != nullptr;
}

void* getPluginInstance() {
  if (!g_host) return nullptr;
  return operation<GetPluginInstanceOp>(kHostOpGetPluginInstance)(g_host);
}

void reportNoResult(int code) {
  if (!g_host) return;
  operation<ReportNoResultOp>(kHostOpReportNoResult)(g_host, code);
}

intptr_t hostCallRecord(IMessageArgs* record) {
  if (!g_host) return 0;
  return operation<HostCallOp>(kHostOpHostCall)(g_host, record);
}

intptr_t hostCall(uint32_t id, intptr_t p1, intptr_t p2) {
  IMessageArgs record = plainRecord(id, p1, p2);
  return hostCallRecord(&record);
}

const char* getConfigString(int column, char* buffer, int32_t size) {
  if (!g_host) return nullptr;
  ConfigValue value{};
  value.type = kConfigText;
  value.value = reinterpret_cast<intptr_t>(buffer);
  value.size = size;
  operation<ConfigOp>(kHostOpReadConfig)(g_host, 0, 0, column, &value);
  return reinterpret_cast<const char*>(value.value);
}

std::string readConfigText(int column) {
  const char* text = getConfigString(column, nullptr, -1);
  return text ? std::string(text) : std::string();
}

void setConfigString(int column, const char* text) {
  if (!g_host) return;
  ConfigValue value{};
  value.type = kConfigText;
  value.value = reinterpret_cast<intptr_t>(text);
  value.size = 0;
  operation<ConfigOp>(kHostOpWriteConfig)(g_host, 0, 0, column, &value);
}

void hostLog(const char* format, ...) {
  if (!g_host) return;
  char line[kHostLogMaxLength + 1];
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (written < 0) return;
  hostCall(HOST_LOG, reinterpret_cast<intptr_t>(line), kHostLogP2);
}

}  // namespace qmx
