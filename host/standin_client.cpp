#include "host/standin_client.h"

#include <dlfcn.h>

namespace qmxhost {
namespace {

// Reads a text through one of the stand-in's copy-out functions, which
// answer the full length (or -1) whatever the buffer's size.
template <typename Read>
std::string readText(Read read) {
  const int length = read(nullptr, 0);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  read(&text[0], length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace

template <typename Fn>
void StandinClient::find(void* handle, Fn& target, const char* name) {
  target = reinterpret_cast<Fn>(dlsym(handle, name));
  if (!target && missing_.empty()) missing_ = name;
}

StandinClient::StandinClient(void* pluginHandle) {
  find(pluginHandle, reset_, "standin_reset");
  find(pluginHandle, initCount_, "standin_initCommonControlsCount");
  find(pluginHandle, failNext_, "standin_failNextWindowCreations");
  find(pluginHandle, lastCreated_, "standin_lastCreatedWindow");
  find(pluginHandle, isWindow_, "standin_isWindow");
  find(pluginHandle, getWindowInfo_, "standin_getWindowInfo");
  find(pluginHandle, columnCount_, "standin_listColumnCount");
  find(pluginHandle, columnWidth_, "standin_listColumnWidth");
  find(pluginHandle, columnText_, "standin_listColumnText");
  find(pluginHandle, rowCount_, "standin_listRowCount");
  find(pluginHandle, cellText_, "standin_listCellText");
  find(pluginHandle, rowSelected_, "standin_listRowSelected");
  find(pluginHandle, setRowSelected_, "standin_listSetRowSelected");
  find(pluginHandle, redrawCount_, "standin_listRedrawCount");
  find(pluginHandle, lastRedraw_, "standin_listLastRedraw");
  find(pluginHandle, messageBoxCount_, "standin_messageBoxCount");
  find(pluginHandle, setAnswer_, "standin_setMessageBoxAnswer");
  find(pluginHandle, lastText_, "standin_lastMessageBoxText");
  find(pluginHandle, lastCaption_, "standin_lastMessageBoxCaption");
  find(pluginHandle, lastStyle_, "standin_lastMessageBoxStyle");
  find(pluginHandle, lastOwner_, "standin_lastMessageBoxOwner");
  find(pluginHandle, createWindow_, "CreateWindowExA");
}

HWND StandinClient::createSettingsWindow() const {
  return createWindow_(0, "STATIC", "Ustawienia", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                       nullptr);
}

std::vector<std::string> StandinClient::columnTexts(HWND list) const {
  std::vector<std::string> texts;
  const int count = columnCount_(list);
  for (int column = 0; column < count; ++column) {
    texts.push_back(
        readText([&](char* buffer, int size) { return columnText_(list, column, buffer, size); }));
  }
  return texts;
}

std::vector<int> StandinClient::columnWidths(HWND list) const {
  std::vector<int> widths;
  const int count = columnCount_(list);
  for (int column = 0; column < count; ++column) widths.push_back(columnWidth_(list, column));
  return widths;
}

std::vector<ListRow> StandinClient::rows(HWND list) const {
  std::vector<ListRow> result;
  const int rowCount = rowCount_(list);
  const int columnCount = columnCount_(list);
  for (int row = 0; row < rowCount; ++row) {
    ListRow cells;
    for (int column = 0; column < (columnCount > 0 ? columnCount : 1); ++column) {
      cells.push_back(readText(
          [&](char* buffer, int size) { return cellText_(list, row, column, buffer, size); }));
    }
    result.push_back(cells);
  }
  return result;
}

std::string StandinClient::lastMessageBoxText() const {
  return readText([&](char* buffer, int size) { return lastText_(buffer, size); });
}

std::string StandinClient::lastMessageBoxCaption() const {
  return readText([&](char* buffer, int size) { return lastCaption_(buffer, size); });
}

}  // namespace qmxhost
