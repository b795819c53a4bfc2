// A plug-in that fails at every message: it logs a line and gives no
// result, as Quillmax does when it runs out of memory or faults. The host
// must not pass the uncorrected message off as delivered.
#include "platform/windows_api.h"
#include "shell/call_ids.h"
#include "shell/calling_convention.h"
#include "shell/host_control.h"

using namespace qmx;

namespace {

HostControl* g_host = nullptr;

void logLine(const char* line) {
  IMessageArgs record{};
  record.size = sizeof record;
  record.id = HOST_LOG;
  record.p1 = reinterpret_cast<intptr_t>(line);
  reinterpret_cast<HostCallOp>(g_host->operations[kHostOpHostCall])(g_host, &record);
}

}  // namespace

extern "C" QMX_EXPORT intptr_t QMX_STDCALL IMessageProc(IMessageArgs* args) {
  switch (args->id) {
    case CALL_INIT:
      g_host = reinterpret_cast<HostControl*>(args->p1);
      return 1;
    case CALL_START:
      // The host finds the Win32 stand-in through the plug-in's own links.
      InitCommonControls();
      return 1;
    case CALL_MESSAGE:
      logLine("out of memory");
      return 0;
    default:
      return 0;
  }
}
