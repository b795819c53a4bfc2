#include "editor/rule_list_editor.h"

#include <vector>

#include "rules/rule_store.h"
#include "rules/rule_types.h"
#include "shell/element_ids.h"
#include "shell/host_services.h"
#include "shell/host_text.h"
#include "shell/page_services.h"

namespace qmx {

namespace {

// The rule list's window, from the host's create event to its destroy event.
HWND g_ruleListView = nullptr;

constexpr int kListWidth = 450;
constexpr int kListHeight = 200;
constexpr int kListLeftMargin = 10;
// WS_CHILD | WS_VISIBLE | LVS_REPORT: several rows may be selected and rows
// keep their insertion order.
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | LVS_REPORT;
constexpr DWORD kListExtendedStyle = LVS_EX_FULLROWSELECT | LVS_EX_UNDERLINECOLD;
constexpr uint32_t kSaveButtonStatus = 2;

struct ColumnHeader {
  const char* text;
  int width;
};

const ColumnHeader kColumnHeaders[] = {
    {"Zamie\xf1 z:", 195},   // "Zamień z:"
    {"Zamie\xf1 na:", 195},  // "Zamień na:"
    {"Typ:", 50},
};

// The list view takes texts through non-const pointers; it only reads them.
std::vector<char> writableCopy(const std::string& text) {
  return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

std::string fieldValue(int32_t element) {
  return textAt(getActionValue(pageElement(element), nullptr, 0));
}

void insertColumns(HWND list) {
  for (size_t position = 0; position < sizeof kColumnHeaders / sizeof kColumnHeaders[0];
       ++position) {
    std::vector<char> text = writableCopy(kColumnHeaders[position].text);
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = kColumnHeaders[position].width;
    column.pszText = text.data();
    SendMessageA(list, LVM_INSERTCOLUMNA, position, reinterpret_cast<LPARAM>(&column));
  }
}

void setCellText(HWND list, int row, int column, const std::string& value) {
  std::vector<char> text = writableCopy(value);
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text.data();
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void insertRow(HWND list, int row, const std::string& from, const std::string& to, int type) {
  std::vector<char> text = writableCopy(from);
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = 0;
  item.pszText = text.data();
  SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  setCellText(list, row, 1, to);
  setCellText(list, row, 2, typeCellText(type));
}

bool rowSelected(HWND list, size_t row) {
  return SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) == LVIS_SELECTED;
}

void createRuleList(ActionEvent* event) {
  event->width = kListWidth;
  event->height = kListHeight;
  HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, nullptr, kListStyle,
                              event->pos2 + kListLeftMargin, event->pos1, event->width,
                              event->height, event->hwndParent,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(kElementRuleList)),
                              static_cast<HINSTANCE>(getPluginInstance()), nullptr);
  event->hwnd = list;
  event->pos1 += kListWidth;
  event->pos2 += kListHeight;
  if (!list) return;
  g_ruleListView = list;
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kListExtendedStyle);
  insertColumns(list);
  fillRuleList(list);
}

void destroyRuleList(ActionEvent* event) {
  DestroyWindow(event->hwnd);
  g_ruleListView = nullptr;
}

void addFromFields() {
  // Each answer is copied at once: the host's text may not outlive the next call.
  const std::string from = fieldValue(kElementFromField);
  const std::string to = fieldValue(kElementToField);
  const std::string type = fieldValue(kElementTypeChoice);
  std::vector<char> text = writableCopy(from);
  LVFINDINFOA find{};
  find.flags = LVFI_STRING;
  find.psz = text.data();
  // Without a list the message answers 0, "found", so nothing is added.
  const LRESULT found = SendMessageA(g_ruleListView, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(&find));
  if (found != -1) return;
  addRule(from, to, readTypeNumber(type));
}

void reloadRuleBase() {
  // "Manualne przeładowanie bazy danych"
  hostLog(
      "Manualne prze\xb3"
      "adowanie bazy danych");
  loadRuleBase();
}

bool longEnough(const ActionEvent* event, size_t needed) {
  return event->size >= needed;
}

}  // namespace

const char* typeCellText(int type) {
  const RuleType* known = ruleTypeOf(type);
  return known ? known->cellText : "";
}

void fillRuleList(HWND list) {
  for (size_t i = 0; i < ruleCount(); ++i) {
    insertRow(list, static_cast<int>(i), ruleFrom(i), ruleTo(i), ruleTypeNumber(i));
  }
}

void addRule(const std::string& from, const std::string& to, int type) {
  appendRule(from, to, type);
  insertRow(g_ruleListView, static_cast<int>(ruleCount() - 1), from, to, type);
  ShowWindow(g_ruleListView, SW_SHOWNORMAL);
}

void deleteSelectedRules() {
  // "Czy na pewno usunąć zaznaczone?"
  const int answer = MessageBoxA(nullptr, "Czy na pewno usun\xb9\xe6 zaznaczone?", "Potwierdzenie",
                                 MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES) return;
  size_t row = 0;
  while (static_cast<LRESULT>(row) < SendMessageA(g_ruleListView, LVM_GETITEMCOUNT, 0, 0)) {
    if (!rowSelected(g_ruleListView, row)) {
      ++row;
      continue;
    }
    const size_t rulesBefore = ruleCount();
    // The row that follows moves up into this index and is examined next; a
    // row that will not go is stepped over, so the walk always ends.
    if (!SendMessageA(g_ruleListView, LVM_DELETEITEM, row, 0)) {
      ++row;
      continue;
    }
    SendMessageA(g_ruleListView, LVM_REDRAWITEMS, 0, static_cast<LPARAM>(rulesBefore));
    // After a manual reload a row may stand past the last rule: it goes from
    // the list, but no rule goes with it.
    if (row < rulesBefore) removeRule(row);
  }
}

void editSelectedRule() {
  setActionStatus(pageElement(kElementSaveButton), kSaveButtonStatus, 0);
  for (size_t i = 0; i < ruleCount(); ++i) {
    if (!rowSelected(g_ruleListView, i)) continue;
    setActionValue(pageElement(kElementFromField), ruleFrom(i).c_str());
    setActionValue(pageElement(kElementToField), ruleTo(i).c_str());
    setActionValue(pageElement(kElementTypeChoice), ruleType(i).c_str());
    return;
  }
}

intptr_t onUiAction(ActionEvent* event) {
  if (!event || !longEnough(event, kMinEventSize)) return 0;
  const int32_t id = event->ref.id;
  const int32_t code = event->code;
  if (id == kElementRuleList) {
    if (code == EVENT_CREATE_WINDOW && longEnough(event, kMinCreateWindowEventSize)) {
      createRuleList(event);
    } else if (code == EVENT_DESTROY_WINDOW && longEnough(event, kMinDestroyWindowEventSize)) {
      destroyRuleList(event);
    }
    return 0;
  }
  if (code != EVENT_ACTIVATE) return 0;
  switch (id) {
    case kElementReload:
      reloadRuleBase();
      break;
    case kElementAddButton:
      addFromFields();
      break;
    case kElementDeleteButton:
      deleteSelectedRules();
      break;
    case kElementEditButton:
      editSelectedRule();
      break;
    default:
      break;  // the fields, the check box and "Zapisz" need nothing here
  }
  return 0;
}

}  // namespace qmx
