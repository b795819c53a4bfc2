#include "shell/entry_point.h"

#include "correction/correct_message.h"
#include "editor/rule_list_editor.h"
#include "platform/windows_api.h"
#include "rules/rule_store.h"
#include "shell/call_ids.h"
#include "shell/host_services.h"
#include "shell/identity.h"
#include "shell/settings_page.h"

namespace qmx {

const char kPluginVersion[] = QMX_VERSION_TEXT;
const char kPluginName[] = QMX_PLUGIN_NAME;

namespace {

// The code reportNoResult always sends.
constexpr int kNoResultCode = 1;

// Ids outside the table, and calls whose work is left undone, land here.
intptr_t defaultPath() {
  if (hostAvailable()) reportNoResult(kNoResultCode);
  return 0;
}

intptr_t textAnswer(const char* text) {
  return reinterpret_cast<intptr_t>(text);
}

intptr_t onStart() {
  hostLog("Uruchamiam wtyczke");
  // The rule list's window class "SysListView32" must exist before the
  // settings page asks for the list.
  InitCommonControls();
  releaseCorrectionState();
  loadRuleBase();
  return 1;
}

intptr_t onEnd() {
  // Without a complete load (no start, or a start whose load failed) the
  // store is not the user's rule base: writing it would erase the rules.
  if (ruleBaseLoaded()) saveRuleBase();
  releaseCorrectionState();
  hostLog(
      "Wy\xb3\xb9"
      "czam wtyczk\xea");
  return 1;
}

intptr_t dispatch(const IMessageArgs* args) {
  const uint32_t id = args->id;
  // A record too short to hold p1 and p2 counts as absent: calls that need
  // p1 then take the default path.
  const bool hasParams = args->size >= sizeof(IMessageArgs);
  const intptr_t p1 = hasParams ? args->p1 : 0;

  switch (id) {
    case QUERY_20020:
      return 2;
    case QUERY_PLUGIN_NUMBER:
      return kPluginNumber;
    case QUERY_PLUGIN_KIND:
      return kPluginKind;
    case QUERY_VERSION:
      return textAnswer(kPluginVersion);
    case QUERY_NAME_30013:
    case QUERY_NAME_30016:
      return textAnswer(kPluginName);
    case QUERY_30017:
      return 0;
    case CALL_INIT:
      if (!hasParams) return defaultPath();
      setHostControl(reinterpret_cast<HostControl*>(p1));
      // A new host's configuration has not been read yet.
      resetRuleBaseLoaded();
      return 1;
    case CALL_DEINIT:
      setHostControl(nullptr);
      resetRuleBaseLoaded();
      releaseCorrectionState();
      return 1;
    default:
      break;
  }

  // Everything below calls back into the host; without one, do nothing.
  if (!hostAvailable()) return 0;
  switch (id) {
    case CALL_START:
      return onStart();
    case CALL_END:
      return onEnd();
    case CALL_SET_COLUMNS:
      return onSetColumns();
    case CALL_UI_REGISTER:
      return onUiRegister();
    case CALL_MESSAGE:
      if (p1 == 0) return defaultPath();
      return correctMessage(reinterpret_cast<ChatMessage*>(p1)) ? 2 : defaultPath();
    case CALL_UI_ACTION:
      if (!hasParams) return defaultPath();
      return onUiAction(reinterpret_cast<ActionEvent*>(p1));
    default:
      return defaultPath();
  }
}

}  // namespace

}  // namespace qmx

extern "C" intptr_t QMX_STDCALL IMessageProc(qmx::IMessageArgs* args) {
  if (!args) return 0;
  try {
    return qmx::dispatch(args);
  } catch (...) {
    // Nothing may unwind into the messenger; the call then has no answer.
    try {
      return qmx::defaultPath();
    } catch (...) {
      return 0;
    }
  }
}
