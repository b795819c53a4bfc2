// The emulated user32.dll and comctl32.dll: the window, list-view and message
// box calls the plug-in's editor makes. The list-view messages go through
// the Linux stand-in's decoder (platform/list_view_messages.h) into the same
// list-view model, the structures read from and written to emulated memory
// in their 32-bit layouts. Besides the imports it offers the host side what the stand-in's
// standin_* functions offer: read the windows and lists, select rows, script
// the message box, make window creation fail, reset.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/import_registry.h"
#include "platform/list_view_model.h"

namespace qmxpe {

// A window's creation arguments and later state, as standin_getWindowInfo
// reports them; handles are emulated 32-bit values.
struct WindowInfo {
  uint32_t exStyle = 0;
  std::string className;             // as registered: "SysListView32" or "STATIC"
  std::optional<std::string> title;  // nullopt when it was null
  uint32_t style = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t parent = 0;
  uint32_t controlId = 0;  // the hMenu argument
  uint32_t instance = 0;
  uint32_t listViewExStyle = 0;
  bool visible = false;
  int lastShowCommand = -1;  // -1 until ShowWindow
  int showCount = 0;
};

struct MessageBoxRecord {
  uint32_t owner = 0;
  std::string text;  // null texts as empty
  std::string caption;
  uint32_t style = 0;
};

class User32 {
 public:
  static constexpr const char* kDll = "USER32.dll";
  static constexpr const char* kCommonControlsDll = "COMCTL32.dll";
  static constexpr int kIdNo = 7;

  explicit User32(Emulator& emulator);
  User32(const User32&) = delete;
  User32& operator=(const User32&) = delete;

  void registerImports(ImportRegistry& registry);

  // --- The host's side; the same rules as the stand-in's functions. ---

  // Back to the state after loading: no windows, message boxes, scripts or
  // counters, common controls not initialised. Handles are never reused.
  void reset();
  int initCommonControlsCount() const { return initCount_; }
  // The next `count` window creations fail; 0 or less cancels.
  void failNextWindowCreations(int count) { failingCreations_ = count > 0 ? count : 0; }
  // The window made last (0 if none since the reset; it may be destroyed).
  uint32_t lastCreatedWindow() const { return lastCreated_; }
  bool isWindow(uint32_t window) const { return windows_.count(window) != 0; }
  std::optional<WindowInfo> windowInfo(uint32_t window) const;
  // Creates a window as the host would (class "STATIC" or, after the common
  // controls are initialised, "SysListView32"); 0 when CreateWindowExA would
  // fail. Counts against failNextWindowCreations like the program's calls.
  uint32_t createWindow(const std::string& className, const std::optional<std::string>& title,
                        uint32_t style, uint32_t parent);

  // List readers: -1 / nullopt / false when `list` is not a live list view
  // or the row or column does not exist.
  int columnCount(uint32_t list) const;
  int columnWidth(uint32_t list, int column) const;
  std::optional<std::string> columnText(uint32_t list, int column) const;
  int rowCount(uint32_t list) const;
  std::optional<std::string> cellText(uint32_t list, int row, int column) const;
  // Every row's cells, column 0 first, as many cells as columns (at least 1).
  std::vector<std::vector<std::string>> rows(uint32_t list) const;
  int rowSelected(uint32_t list, int row) const;
  // As a user's click: in a single-selection list, selecting a row
  // deselects the others. row -1 means every row.
  bool setRowSelected(uint32_t list, int row, bool selected);
  int redrawCount(uint32_t list) const;
  bool lastRedraw(uint32_t list, int* first, int* last) const;

  int messageBoxCount() const { return messageBoxCount_; }
  // The answer later message boxes return; IDNO until scripted, so that a
  // confirmation nobody scripted never destroys data.
  void setMessageBoxAnswer(int answer) { messageBoxAnswer_ = answer; }
  // The last message box, or nullopt when none was shown.
  std::optional<MessageBoxRecord> lastMessageBox() const;

 private:
  struct Window {
    WindowInfo info;
    std::unique_ptr<standin::ListViewModel> list;  // null for "STATIC"
  };

  // The imports by family.
  void addWindows(const DllFunctions& functions);
  void addMessages(const DllFunctions& functions);  // SendMessageA, MessageBoxA

  // CreateWindowExA, its arguments read from the call.
  uint32_t createWindowEx(const StubCall& call);
  uint32_t create(uint32_t exStyle, std::optional<std::string> className,
                  std::optional<std::string> title, uint32_t style, int32_t x, int32_t y,
                  int32_t width, int32_t height, uint32_t parent, uint32_t menu, uint32_t instance);
  void destroyTree(uint32_t window);
  uint32_t sendMessage(uint32_t window, uint32_t message, uint32_t wParam, uint32_t lParam);
  std::string textAt(uint32_t address) const;
  const standin::ListViewModel* findList(uint32_t window) const;
  standin::ListViewModel* findList(uint32_t window);

  Emulator& emulator_;
  int initCount_ = 0;
  int failingCreations_ = 0;
  uint32_t lastCreated_ = 0;
  std::map<uint32_t, Window> windows_;
  int messageBoxAnswer_ = kIdNo;
  int messageBoxCount_ = 0;
  MessageBoxRecord lastMessageBox_;
  // Never reset: a handle from before a reset must not name a new window.
  uint32_t nextHandle_ = 0x10000;
};

}  // namespace qmxpe
