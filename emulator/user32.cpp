#include "emulator/user32.h"

#include <algorithm>
#include <utility>

// The list-view messages are decoded as the stand-in decodes them, and its
// Windows constants are the values the emulated program sends.
#include "platform/list_view_messages.h"
#include "platform/win32_standin.h"

namespace qmxpe {
namespace {

using standin::ListViewModel;

constexpr char kListViewClass[] = WC_LISTVIEWA;
constexpr char kStaticClass[] = "STATIC";

// The leading fields of LVITEMA, LVCOLUMNA and LVFINDINFOA, up to the last
// that the list-view messages use, as a 32-bit image lays them out.
struct ListViewItem32 {
  uint32_t mask;
  int32_t iItem;
  int32_t iSubItem;
  uint32_t state;
  uint32_t stateMask;
  uint32_t pszText;
  int32_t cchTextMax;
};
struct ListViewColumn32 {
  uint32_t mask;
  int32_t fmt;
  int32_t cx;
  uint32_t pszText;
};
struct ListViewFindInfo32 {
  uint32_t flags;
  uint32_t psz;
};

// The structures a list-view message carries lie in the emulated DLL's
// memory.
class EmulatedMemory {
 public:
  using Word = uint32_t;

  explicit EmulatedMemory(Emulator& emulator) : emulator_(emulator) {}

  standin::ListViewItemFields<Word> item(Word at) const {
    const auto item = read<ListViewItem32>(at);
    return {item.mask,      item.iItem,   item.iSubItem,  item.state,
            item.stateMask, item.pszText, item.cchTextMax};
  }
  standin::ListViewColumnFields<Word> column(Word at) const {
    const auto column = read<ListViewColumn32>(at);
    return {column.mask, column.cx, column.pszText};
  }
  standin::ListViewFindFields<Word> findInfo(Word at) const {
    const auto info = read<ListViewFindInfo32>(at);
    return {info.flags, info.psz};
  }
  std::string text(Word at) const { return emulator_.readString(at); }
  void writeText(Word at, const std::string& text) const {
    emulator_.write(at, text.c_str(), text.size() + 1);
  }

 private:
  template <typename Structure>
  Structure read(Word at) const {
    Structure structure;
    emulator_.read(at, &structure, sizeof structure);
    return structure;
  }

  Emulator& emulator_;
};

// LPSTR_TEXTCALLBACKA in 32 bits.
constexpr uint32_t kTextCallback = 0xffffffffu;
constexpr uint32_t kTrue = 1;
constexpr uint32_t kFalse = 0;

}  // namespace

User32::User32(Emulator& emulator) : emulator_(emulator) {}

std::string User32::textAt(uint32_t address) const {
  if (address == 0 || address == kTextCallback) {
    return std::string();
  }
  return emulator_.readString(address);
}

const ListViewModel* User32::findList(uint32_t window) const {
  auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : found->second.list.get();
}

ListViewModel* User32::findList(uint32_t window) {
  auto found = windows_.find(window);
  return found == windows_.end() ? nullptr : found->second.list.get();
}

uint32_t User32::create(uint32_t exStyle, std::optional<std::string> className,
                        std::optional<std::string> title, uint32_t style, int32_t x, int32_t y,
                        int32_t width, int32_t height, uint32_t parent, uint32_t menu,
                        uint32_t instance) {
  if (failingCreations_ > 0) {
    --failingCreations_;
    return 0;
  }
  // A class given by atom, or none; no class is registered by atom.
  if (!className) {
    return 0;
  }
  const char* registered = nullptr;
  if (standin::equalIgnoringCase1250(*className, kListViewClass)) {
    if (initCount_ == 0) {
      return 0;
    }
    registered = kListViewClass;
  } else if (standin::equalIgnoringCase1250(*className, kStaticClass)) {
    registered = kStaticClass;
  } else {
    return 0;
  }
  if (parent != 0 ? !isWindow(parent) : (style & WS_CHILD) != 0) {
    return 0;
  }

  Window window;
  window.info.exStyle = exStyle;
  window.info.className = registered;
  window.info.title = std::move(title);
  window.info.style = style;
  window.info.x = x;
  window.info.y = y;
  window.info.width = width;
  window.info.height = height;
  window.info.parent = parent;
  window.info.controlId = menu;
  window.info.instance = instance;
  window.info.visible = (style & WS_VISIBLE) != 0;
  if (registered == kListViewClass) {
    window.list = std::make_unique<ListViewModel>((style & LVS_SINGLESEL) != 0,
                                                  (style & LVS_SORTASCENDING) != 0);
  }
  const uint32_t handle = nextHandle_;
  nextHandle_ += 4;
  windows_.emplace(handle, std::move(window));
  lastCreated_ = handle;
  return handle;
}

void User32::destroyTree(uint32_t window) {
  std::vector<uint32_t> children;
  for (const auto& entry : windows_) {
    if (entry.second.info.parent == window) {
      children.push_back(entry.first);
    }
  }
  for (uint32_t child : children) {
    destroyTree(child);
  }
  windows_.erase(window);
}

uint32_t User32::sendMessage(uint32_t window, uint32_t message, uint32_t wParam, uint32_t lParam) {
  ListViewModel* list = findList(window);
  if (list == nullptr) {
    return 0;
  }
  // The image's LRESULT is 32 bits wide.
  return static_cast<uint32_t>(
      standin::applyListViewMessage(*list, EmulatedMemory(emulator_), message, wParam, lParam));
}

void User32::registerImports(ImportRegistry& registry) {
  // Imported by ordinal 17 (some systems export it by ordinal only), and by
  // name for images that link it that way.
  auto initCommonControls = [this](StubCall&) { ++initCount_; };
  registry.addFunctionByOrdinal(kCommonControlsDll, 17, "InitCommonControls",
                                CallingConvention::kStdcall, 0, initCommonControls);
  registry.addFunction(kCommonControlsDll, "InitCommonControls", CallingConvention::kStdcall, 0,
                       initCommonControls);

  const DllFunctions functions(registry, kDll, CallingConvention::kStdcall);
  addWindows(functions);
  addMessages(functions);
}

void User32::addWindows(const DllFunctions& functions) {
  functions.add("CreateWindowExA", 12, [this](StubCall& c) { c.setResult(createWindowEx(c)); });
  functions.add("DestroyWindow", 1, [this](StubCall& c) {
    if (!isWindow(c.arg(0))) {
      c.setResult(kFalse);
      return;
    }
    destroyTree(c.arg(0));
    c.setResult(kTrue);
  });
  functions.add("ShowWindow", 2, [this](StubCall& c) {
    auto found = windows_.find(c.arg(0));
    if (found == windows_.end()) {
      c.setResult(kFalse);
      return;
    }
    WindowInfo& info = found->second.info;
    const bool wasVisible = info.visible;
    const auto command = static_cast<int32_t>(c.arg(1));
    info.visible = command != SW_HIDE;
    info.lastShowCommand = command;
    ++info.showCount;
    c.setResult(wasVisible ? kTrue : kFalse);
  });
}

void User32::addMessages(const DllFunctions& functions) {
  functions.add("SendMessageA", 4, [this](StubCall& c) {
    c.setResult(sendMessage(c.arg(0), c.arg(1), c.arg(2), c.arg(3)));
  });
  functions.add("MessageBoxA", 4, [this](StubCall& c) {
    ++messageBoxCount_;
    lastMessageBox_.owner = c.arg(0);
    lastMessageBox_.text = textAt(c.arg(1));
    lastMessageBox_.caption = textAt(c.arg(2));
    lastMessageBox_.style = c.arg(3);
    c.setResult(static_cast<uint32_t>(messageBoxAnswer_));
  });
}

uint32_t User32::createWindowEx(const StubCall& c) {
  const uint32_t classAddress = c.arg(1);
  std::optional<std::string> className;
  if (classAddress >= 0x10000) {
    className = emulator_.readString(classAddress, 4096);
  }
  std::optional<std::string> title;
  if (c.arg(2) != 0) {
    title = emulator_.readString(c.arg(2));
  }
  return create(c.arg(0), std::move(className), std::move(title), c.arg(3),
                static_cast<int32_t>(c.arg(4)), static_cast<int32_t>(c.arg(5)),
                static_cast<int32_t>(c.arg(6)), static_cast<int32_t>(c.arg(7)), c.arg(8), c.arg(9),
                c.arg(10));
}

void User32::reset() {
  initCount_ = 0;
  failingCreations_ = 0;
  lastCreated_ = 0;
  windows_.clear();
  messageBoxAnswer_ = kIdNo;
  messageBoxCount_ = 0;
  lastMessageBox_ = MessageBoxRecord();
}

std::optional<WindowInfo> User32::windowInfo(uint32_t window) const {
  auto found = windows_.find(window);
  if (found == windows_.end()) {
    return std::nullopt;
  }
  WindowInfo info = found->second.info;
  info.listViewExStyle = found->second.list ? found->second.list->extendedStyle() : 0;
  return info;
}

uint32_t User32::createWindow(const std::string& className, const std::optional<std::string>& title,
                              uint32_t style, uint32_t parent) {
  return create(0, className, title, style, 0, 0, 0, 0, parent, 0, 0);
}

int User32::columnCount(uint32_t list) const {
  const ListViewModel* model = findList(list);
  return model == nullptr ? -1 : model->columnCount();
}

int User32::columnWidth(uint32_t list, int column) const {
  const ListViewModel* model = findList(list);
  return model == nullptr ? -1 : model->columnWidth(column);
}

std::optional<std::string> User32::columnText(uint32_t list, int column) const {
  const ListViewModel* model = findList(list);
  const std::string* text = model == nullptr ? nullptr : model->columnText(column);
  return text == nullptr ? std::nullopt : std::optional<std::string>(*text);
}

int User32::rowCount(uint32_t list) const {
  const ListViewModel* model = findList(list);
  return model == nullptr ? -1 : model->rowCount();
}

std::optional<std::string> User32::cellText(uint32_t list, int row, int column) const {
  const ListViewModel* model = findList(list);
  const std::string* text = model == nullptr ? nullptr : model->cellText(row, column);
  return text == nullptr ? std::nullopt : std::optional<std::string>(*text);
}

std::vector<std::vector<std::string>> User32::rows(uint32_t list) const {
  std::vector<std::vector<std::string>> all;
  const ListViewModel* model = findList(list);
  if (model == nullptr) {
    return all;
  }
  const int columns = std::max(model->columnCount(), 1);
  for (int row = 0; row < model->rowCount(); ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < columns; ++column) {
      cells.push_back(*model->cellText(row, column));
    }
    all.push_back(std::move(cells));
  }
  return all;
}

int User32::rowSelected(uint32_t list, int row) const {
  const ListViewModel* model = findList(list);
  if (model == nullptr || !model->isRow(row)) {
    return -1;
  }
  return (model->rowState(row) & LVIS_SELECTED) != 0 ? 1 : 0;
}

bool User32::setRowSelected(uint32_t list, int row, bool selected) {
  ListViewModel* model = findList(list);
  return model != nullptr && model->setRowState(row, selected ? LVIS_SELECTED : 0u, LVIS_SELECTED);
}

int User32::redrawCount(uint32_t list) const {
  const ListViewModel* model = findList(list);
  return model == nullptr ? -1 : model->redrawCount();
}

bool User32::lastRedraw(uint32_t list, int* first, int* last) const {
  const ListViewModel* model = findList(list);
  return model != nullptr && model->lastRedraw(first, last);
}

std::optional<MessageBoxRecord> User32::lastMessageBox() const {
  if (messageBoxCount_ == 0) {
    return std::nullopt;
  }
  return lastMessageBox_;
}

}  // namespace qmxpe
