// A plug-in that fails as Quillmax does when it runs out of memory: it logs
// a line and gives no result for every message, and, as after a load of its
// rules that failed, its editor takes a new rule but nothing is written back
// at the end. The host must pass off neither the uncorrected message as
// delivered nor the rule as saved.
#include <cstring>
#include <new>

#include "platform/windows_api.h"
#include "shell/action_event.h"
#include "shell/call_ids.h"
#include "shell/calling_convention.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/host_control.h"

using namespace qmx;

namespace {

HostControl* g_host = nullptr;
HWND g_list = nullptr;

void logLine(const char* line) {
  IMessageArgs record{};
  record.size = sizeof record;
  record.id = HOST_LOG;
  record.p1 = reinterpret_cast<intptr_t>(line);
  reinterpret_cast<HostCallOp>(g_host->operations[kHostOpHostCall])(g_host, &record);
}

void onUiAction(ActionEvent* event) {
  if (event->ref.id == kElementRuleList && event->code == EVENT_CREATE_WINDOW) {
    g_list = CreateWindowExA(0, WC_LISTVIEWA, nullptr, WS_CHILD | LVS_REPORT, 0, 0, 0, 0,
                             event->hwndParent, nullptr, nullptr, nullptr);
    event->hwnd = g_list;
  } else if (event->ref.id == kElementRuleList && event->code == EVENT_DESTROY_WINDOW) {
    DestroyWindow(g_list);
    g_list = nullptr;
  } else if (event->ref.id == kElementAddButton && event->code == EVENT_ACTIVATE) {
    char text[] = "added";
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = text;
    SendMessageA(g_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
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
      // The message "bad_alloc" ends the call with std::bad_alloc, as a
      // call ends when the host runs out of memory serving it.
      if (std::strcmp(
              reinterpret_cast<const char*>(reinterpret_cast<const ChatMessage*>(args->p1)->body),
              "bad_alloc") == 0) {
        throw std::bad_alloc();
      }
      logLine("out of memory");
      return 0;
    case CALL_UI_ACTION:
      onUiAction(reinterpret_cast<ActionEvent*>(args->p1));
      return 0;
    case QUERY_NAME_30013:
      return reinterpret_cast<intptr_t>("NoResult");
    case QUERY_VERSION:
      return reinterpret_cast<intptr_t>("0.1-test");
    default:
      return 0;
  }
}
