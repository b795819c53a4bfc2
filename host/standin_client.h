// Reaches the Win32 stand-in that a loaded plug-in uses, through the
// stand-in's own functions found with dlsym on the plug-in's handle: the one
// copy the plug-in talks to, whatever directory it was loaded from.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_standin.h"

namespace qmxhost {

// One row of a list view: its cells, column 0 first.
using ListRow = std::vector<std::string>;

class StandinClient {
 public:
  // Finds every function through `pluginHandle`; ok() tells whether all were
  // found, missing() names the first that was not.
  explicit StandinClient(void* pluginHandle);

  bool ok() const { return missing_.empty(); }
  const std::string& missing() const { return missing_; }

  void reset() const { reset_(); }
  int initCount() const { return initCount_(); }
  void failNextWindowCreations(int count) const { failNext_(count); }
  HWND lastCreatedWindow() const { return lastCreated_(); }
  bool isWindow(HWND window) const { return isWindow_(window) != 0; }
  bool windowInfo(HWND window, StandinWindowInfo* info) const {
    return getWindowInfo_(window, info) != 0;
  }

  // Makes a plain top-level window, as the host's settings window.
  HWND createSettingsWindow() const;

  // Columns' header texts and widths; rows' cells. Empty when `list` is not
  // a live list view.
  std::vector<std::string> columnTexts(HWND list) const;
  std::vector<int> columnWidths(HWND list) const;
  std::vector<ListRow> rows(HWND list) const;
  int rowCount(HWND list) const { return rowCount_(list); }
  bool rowSelected(HWND list, int row) const { return rowSelected_(list, row) == 1; }
  bool selectRow(HWND list, int row, bool selected) const {
    return setRowSelected_(list, row, selected ? 1 : 0) != 0;
  }
  int redrawCount(HWND list) const { return redrawCount_(list); }
  bool lastRedraw(HWND list, int* first, int* last) const {
    return lastRedraw_(list, first, last) != 0;
  }

  void setMessageBoxAnswer(int answer) const { setAnswer_(answer); }
  int messageBoxCount() const { return messageBoxCount_(); }
  std::string lastMessageBoxText() const;
  std::string lastMessageBoxCaption() const;
  UINT lastMessageBoxStyle() const { return lastStyle_(); }
  HWND lastMessageBoxOwner() const { return lastOwner_(); }

 private:
  template <typename Fn>
  void find(void* handle, Fn& target, const char* name);

  std::string missing_;
  PFN_standin_reset reset_ = nullptr;
  PFN_standin_initCommonControlsCount initCount_ = nullptr;
  PFN_standin_failNextWindowCreations failNext_ = nullptr;
  PFN_standin_lastCreatedWindow lastCreated_ = nullptr;
  PFN_standin_isWindow isWindow_ = nullptr;
  PFN_standin_getWindowInfo getWindowInfo_ = nullptr;
  PFN_standin_listColumnCount columnCount_ = nullptr;
  PFN_standin_listColumnWidth columnWidth_ = nullptr;
  PFN_standin_listColumnText columnText_ = nullptr;
  PFN_standin_listRowCount rowCount_ = nullptr;
  PFN_standin_listCellText cellText_ = nullptr;
  PFN_standin_listRowSelected rowSelected_ = nullptr;
  PFN_standin_listSetRowSelected setRowSelected_ = nullptr;
  PFN_standin_listRedrawCount redrawCount_ = nullptr;
  PFN_standin_listLastRedraw lastRedraw_ = nullptr;
  PFN_standin_messageBoxCount messageBoxCount_ = nullptr;
  PFN_standin_setMessageBoxAnswer setAnswer_ = nullptr;
  PFN_standin_lastMessageBoxText lastText_ = nullptr;
  PFN_standin_lastMessageBoxCaption lastCaption_ = nullptr;
  PFN_standin_lastMessageBoxStyle lastStyle_ = nullptr;
  PFN_standin_lastMessageBoxOwner lastOwner_ = nullptr;
  decltype(&CreateWindowExA) createWindow_ = nullptr;
};

}  // namespace qmxhost
