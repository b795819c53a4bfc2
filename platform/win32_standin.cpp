#include "platform/win32_standin.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/list_view_messages.h"
#include "platform/list_view_model.h"

namespace {

using standin::ListViewModel;

static_assert(ListViewModel::kFocused == LVIS_FOCUSED, "focus bit");
static_assert(ListViewModel::kSelected == LVIS_SELECTED, "selection bit");

constexpr char kListViewClass[] = WC_LISTVIEWA;
constexpr char kStaticClass[] = "STATIC";

struct Window {
  DWORD exStyle = 0;
  const char* className = nullptr;
  bool hasTitle = false;
  std::string title;
  DWORD style = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  HWND parent = nullptr;
  HMENU controlId = nullptr;
  HINSTANCE instance = nullptr;
  bool visible = false;
  int lastShowCommand = -1;
  int showCount = 0;
  std::unique_ptr<ListViewModel> list;  // null for a "STATIC" window
};

struct MessageBoxRecord {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT style = 0;
};

struct State {
  int initCommonControlsCount = 0;
  int failingCreations = 0;
  HWND lastCreated = nullptr;
  std::map<HWND, Window> windows;
  int messageBoxAnswer = IDNO;
  int messageBoxCount = 0;
  MessageBoxRecord lastMessageBox;
};

State& state() {
  static State s;
  return s;
}

// Kept apart from State so that a reset never hands out a handle again: a
// stale handle held by the plug-in must not name a new window. Windows'
// handles are small multiples of four, never null.
uintptr_t g_nextHandle = 0x10000;

Window* findWindow(HWND hWnd) {
  if (hWnd == nullptr) {
    return nullptr;
  }
  auto it = state().windows.find(hWnd);
  return it == state().windows.end() ? nullptr : &it->second;
}

ListViewModel* findList(HWND hWnd) {
  Window* window = findWindow(hWnd);
  return window == nullptr ? nullptr : window->list.get();
}

std::string textOf(LPCSTR text) {
  if (text == nullptr || text == LPSTR_TEXTCALLBACKA) {
    return std::string();
  }
  return std::string(text);
}

int copyText(std::string_view text, char* buffer, int size) {
  if (buffer != nullptr && size > 0) {
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int>(text.size());
}

bool sameClass(LPCSTR given, const char* registered) {
  return standin::equalIgnoringCase1250(given, registered);
}

void destroyTree(HWND hWnd) {
  std::vector<HWND> children;
  for (const auto& entry : state().windows) {
    if (entry.second.parent == hWnd) {
      children.push_back(entry.first);
    }
  }
  for (HWND child : children) {
    destroyTree(child);
  }
  state().windows.erase(hWnd);
}

// The structures a list-view message carries lie in this process's memory,
// in their native layouts.
struct OwnMemory {
  using Word = uintptr_t;

  static standin::ListViewItemFields<Word> item(Word at) {
    const auto& item = *reinterpret_cast<const LVITEMA*>(at);
    return {item.mask,      item.iItem,     item.iSubItem,
            item.state,     item.stateMask, reinterpret_cast<Word>(item.pszText),
            item.cchTextMax};
  }
  static standin::ListViewColumnFields<Word> column(Word at) {
    const auto& column = *reinterpret_cast<const LVCOLUMNA*>(at);
    return {column.mask, column.cx, reinterpret_cast<Word>(column.pszText)};
  }
  static standin::ListViewFindFields<Word> findInfo(Word at) {
    const auto& info = *reinterpret_cast<const LVFINDINFOA*>(at);
    return {info.flags, reinterpret_cast<Word>(info.psz)};
  }
  static std::string text(Word at) { return reinterpret_cast<const char*>(at); }
  static void writeText(Word at, const std::string& text) {
    std::memcpy(reinterpret_cast<char*>(at), text.c_str(), text.size() + 1);
  }
};

}  // namespace

void WINAPI InitCommonControls(void) {
  ++state().initCommonControlsCount;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID /*lpParam*/) {
  State& s = state();
  if (s.failingCreations > 0) {
    --s.failingCreations;
    return nullptr;
  }
  // A class "name" below 0x10000 is an atom; no class is registered by atom.
  if (reinterpret_cast<uintptr_t>(lpClassName) < 0x10000) {
    return nullptr;
  }
  const char* className = nullptr;
  if (sameClass(lpClassName, kListViewClass)) {
    if (s.initCommonControlsCount == 0) {
      return nullptr;
    }
    className = kListViewClass;
  } else if (sameClass(lpClassName, kStaticClass)) {
    className = kStaticClass;
  } else {
    return nullptr;
  }
  if (hWndParent != nullptr ? findWindow(hWndParent) == nullptr : (dwStyle & WS_CHILD) != 0) {
    return nullptr;
  }

  Window window;
  window.exStyle = dwExStyle;
  window.className = className;
  window.hasTitle = lpWindowName != nullptr;
  window.title = textOf(lpWindowName);
  window.style = dwStyle;
  window.x = X;
  window.y = Y;
  window.width = nWidth;
  window.height = nHeight;
  window.parent = hWndParent;
  window.controlId = hMenu;
  window.instance = hInstance;
  window.visible = (dwStyle & WS_VISIBLE) != 0;
  if (className == kListViewClass) {
    window.list = std::make_unique<ListViewModel>((dwStyle & LVS_SINGLESEL) != 0,
                                                  (dwStyle & LVS_SORTASCENDING) != 0);
  }

  HWND handle = reinterpret_cast<HWND>(g_nextHandle);
  g_nextHandle += 4;
  s.windows.emplace(handle, std::move(window));
  s.lastCreated = handle;
  return handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  if (findWindow(hWnd) == nullptr) {
    return FALSE;
  }
  destroyTree(hWnd);
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window* window = findWindow(hWnd);
  if (window == nullptr) {
    return FALSE;
  }
  const bool wasVisible = window->visible;
  window->visible = nCmdShow != SW_HIDE;
  window->lastShowCommand = nCmdShow;
  ++window->showCount;
  return wasVisible ? TRUE : FALSE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  ListViewModel* list = findList(hWnd);
  if (list == nullptr) {
    return 0;
  }
  return static_cast<LRESULT>(standin::applyListViewMessage(*list, OwnMemory(), Msg, wParam,
                                                            static_cast<uintptr_t>(lParam)));
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  State& s = state();
  ++s.messageBoxCount;
  s.lastMessageBox.owner = hWnd;
  s.lastMessageBox.text = textOf(lpText);
  s.lastMessageBox.caption = textOf(lpCaption);
  s.lastMessageBox.style = uType;
  return s.messageBoxAnswer;
}

int WINAPI standin_initCommonControlsCount(void) {
  return state().initCommonControlsCount;
}

void WINAPI standin_reset(void) {
  state() = State();
}

void WINAPI standin_failNextWindowCreations(int count) {
  state().failingCreations = std::max(count, 0);
}

HWND WINAPI standin_lastCreatedWindow(void) {
  return state().lastCreated;
}

BOOL WINAPI standin_isWindow(HWND hWnd) {
  return findWindow(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI standin_getWindowInfo(HWND hWnd, StandinWindowInfo* info) {
  const Window* window = findWindow(hWnd);
  if (window == nullptr || info == nullptr) {
    return FALSE;
  }
  *info = StandinWindowInfo();
  info->exStyle = window->exStyle;
  copyText(window->className, info->className, sizeof info->className);
  info->titleLength =
      window->hasTitle ? copyText(window->title, info->title, sizeof info->title) : -1;
  info->style = window->style;
  info->x = window->x;
  info->y = window->y;
  info->width = window->width;
  info->height = window->height;
  info->parent = window->parent;
  info->controlId = window->controlId;
  info->instance = window->instance;
  info->listViewExStyle = window->list != nullptr ? window->list->extendedStyle() : 0;
  info->visible = window->visible ? TRUE : FALSE;
  info->lastShowCommand = window->lastShowCommand;
  info->showCount = window->showCount;
  return TRUE;
}

int WINAPI standin_listColumnCount(HWND hWnd) {
  const ListViewModel* list = findList(hWnd);
  return list == nullptr ? -1 : list->columnCount();
}

int WINAPI standin_listColumnWidth(HWND hWnd, int column) {
  const ListViewModel* list = findList(hWnd);
  return list == nullptr ? -1 : list->columnWidth(column);
}

int WINAPI standin_listColumnText(HWND hWnd, int column, char* buffer, int size) {
  const ListViewModel* list = findList(hWnd);
  const std::string* text = list == nullptr ? nullptr : list->columnText(column);
  return text == nullptr ? -1 : copyText(*text, buffer, size);
}

int WINAPI standin_listRowCount(HWND hWnd) {
  const ListViewModel* list = findList(hWnd);
  return list == nullptr ? -1 : list->rowCount();
}

int WINAPI standin_listCellText(HWND hWnd, int row, int column, char* buffer, int size) {
  const ListViewModel* list = findList(hWnd);
  const std::string* text = list == nullptr ? nullptr : list->cellText(row, column);
  return text == nullptr ? -1 : copyText(*text, buffer, size);
}

int WINAPI standin_listRowSelected(HWND hWnd, int row) {
  const ListViewModel* list = findList(hWnd);
  if (list == nullptr || !list->isRow(row)) {
    return -1;
  }
  return (list->rowState(row) & LVIS_SELECTED) != 0 ? 1 : 0;
}

BOOL WINAPI standin_listSetRowSelected(HWND hWnd, int row, BOOL selected) {
  ListViewModel* list = findList(hWnd);
  if (list == nullptr) {
    return FALSE;
  }
  return list->setRowState(row, selected ? LVIS_SELECTED : 0u, LVIS_SELECTED) ? TRUE : FALSE;
}

int WINAPI standin_listRedrawCount(HWND hWnd) {
  const ListViewModel* list = findList(hWnd);
  return list == nullptr ? -1 : list->redrawCount();
}

BOOL WINAPI standin_listLastRedraw(HWND hWnd, int* first, int* last) {
  const ListViewModel* list = findList(hWnd);
  return list != nullptr && list->lastRedraw(first, last) ? TRUE : FALSE;
}

int WINAPI standin_messageBoxCount(void) {
  return state().messageBoxCount;
}

void WINAPI standin_setMessageBoxAnswer(int answer) {
  state().messageBoxAnswer = answer;
}

int WINAPI standin_lastMessageBoxText(char* buffer, int size) {
  const State& s = state();
  return s.messageBoxCount == 0 ? -1 : copyText(s.lastMessageBox.text, buffer, size);
}

int WINAPI standin_lastMessageBoxCaption(char* buffer, int size) {
  const State& s = state();
  return s.messageBoxCount == 0 ? -1 : copyText(s.lastMessageBox.caption, buffer, size);
}

UINT WINAPI standin_lastMessageBoxStyle(void) {
  return state().lastMessageBox.style;
}

HWND WINAPI standin_lastMessageBoxOwner(void) {
  return state().lastMessageBox.owner;
}
