// The Win32 stand-in, called directly as the plug-in calls user32 and
// comctl32: the editor behaves as on Windows only if window creation, the
// list-view messages and the message box follow Windows' rules.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_standin.h"

namespace {

const HWND kUnknownWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7ff00));
const HMENU kListId = reinterpret_cast<HMENU>(static_cast<intptr_t>(889007));
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(0x400000));
const DWORD kEditorListStyle = WS_CHILD | WS_VISIBLE | LVS_REPORT;

HWND makePage() {
  return CreateWindowExA(0, "STATIC", "Ustawienia", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                         nullptr);
}

HWND makeList(HWND parent, DWORD style = kEditorListStyle) {
  return CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, nullptr, style, 10, 20, 450, 200, parent,
                         kListId, kInstance, nullptr);
}

LRESULT send(HWND window, UINT msg, WPARAM wParam, const void* lParam) {
  return SendMessageA(window, msg, wParam, reinterpret_cast<LPARAM>(lParam));
}

// Inserts a row with LVIF_TEXT, as the editor does; the text is copied first
// because LVITEMA carries a non-const pointer.
LRESULT insertRow(HWND list, int index, const std::string& text) {
  std::string copy = text;
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = &copy[0];
  return send(list, LVM_INSERTITEMA, 0, &item);
}

BOOL setCell(HWND list, int row, int column, const std::string& text) {
  std::string copy = text;
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = &copy[0];
  return static_cast<BOOL>(send(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), &item));
}

LRESULT insertColumn(HWND list, int index, UINT mask, int width, const std::string& text) {
  std::string copy = text;
  LVCOLUMNA column{};
  column.mask = mask;
  column.cx = width;
  column.pszText = &copy[0];
  return send(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), &column);
}

LRESULT setState(HWND list, int row, UINT state, UINT mask) {
  LVITEMA item{};
  item.state = state;
  item.stateMask = mask;
  return send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), &item);
}

LRESULT getState(HWND list, int row, UINT mask) {
  return SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), static_cast<LPARAM>(mask));
}

LRESULT findItem(HWND list, int start, UINT flags, const char* text) {
  LVFINDINFOA info{};
  info.flags = flags;
  info.psz = text;
  return send(list, LVM_FINDITEMA, static_cast<WPARAM>(start), &info);
}

std::string cellText(HWND list, int row, int column) {
  const int length = standin_listCellText(list, row, column, nullptr, 0);
  if (length < 0) return "<missing>";
  std::string text(static_cast<size_t>(length) + 1, '\0');
  standin_listCellText(list, row, column, &text[0], length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

std::vector<std::string> firstColumn(HWND list) {
  std::vector<std::string> texts;
  for (int row = 0; row < standin_listRowCount(list); ++row)
    texts.push_back(cellText(list, row, 0));
  return texts;
}

std::string columnText(HWND list, int column) {
  char buffer[64] = {};
  return standin_listColumnText(list, column, buffer, sizeof buffer) < 0 ? "<missing>" : buffer;
}

// Every test starts from a freshly loaded library with the common controls
// initialised, as the plug-in's start does.
class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin_reset();
    InitCommonControls();
    page = makePage();
    ASSERT_NE(page, nullptr);
  }
  void TearDown() override { standin_reset(); }

  // A list holding one row per text, in order, with the editor's three
  // columns.
  HWND listWithRows(const std::vector<std::string>& texts, DWORD style = kEditorListStyle) {
    HWND list = makeList(page, style);
    EXPECT_NE(list, nullptr);
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(insertColumn(list, column, LVCF_WIDTH | LVCF_TEXT, 100, "c"), column);
    }
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(insertRow(list, static_cast<int>(i), texts[i]), static_cast<LRESULT>(i));
    }
    return list;
  }

  HWND page = nullptr;
};

// ---------------------------------------------------------------------------
// Window creation

enum class Parent { kNone, kLivePage, kDestroyedPage, kUnknown };

struct CreationCase {
  const char* name;
  bool initCommonControls;
  LPCSTR className;
  DWORD style;
  Parent parent;
  int scriptedFailures;
  bool created;
};

TEST(StandinCreation, follows_the_class_parent_and_script_rules) {
  const CreationCase cases[] = {
      {"null class", true, nullptr, 0, Parent::kNone, 0, false},
      {"empty class", true, "", 0, Parent::kNone, 0, false},
      {"class atom", true, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(0xC001)), 0,
       Parent::kNone, 0, false},
      {"unregistered class", true, "BUTTON", WS_CHILD, Parent::kLivePage, 0, false},
      {"class name prefix", true, "SysListView", WS_CHILD, Parent::kLivePage, 0, false},
      {"list view before InitCommonControls", false, WC_LISTVIEWA, kEditorListStyle,
       Parent::kLivePage, 0, false},
      {"list view child without parent", true, WC_LISTVIEWA, kEditorListStyle, Parent::kNone, 0,
       false},
      {"list view child of a destroyed window", true, WC_LISTVIEWA, kEditorListStyle,
       Parent::kDestroyedPage, 0, false},
      {"list view child of an unknown handle", true, WC_LISTVIEWA, kEditorListStyle,
       Parent::kUnknown, 0, false},
      {"top-level window with an unknown parent", true, "STATIC", 0, Parent::kUnknown, 0, false},
      {"scripted failure", true, WC_LISTVIEWA, kEditorListStyle, Parent::kLivePage, 1, false},
      {"list view child of a live window", true, WC_LISTVIEWA, kEditorListStyle, Parent::kLivePage,
       0, true},
      {"class name in another case", true, "syslistview32", kEditorListStyle, Parent::kLivePage, 0,
       true},
      {"top-level list view", true, WC_LISTVIEWA, LVS_REPORT, Parent::kNone, 0, true},
      {"static page before InitCommonControls", false, "STATIC", 0, Parent::kNone, 0, true},
      {"static child", true, "Static", WS_CHILD, Parent::kLivePage, 0, true},
  };
  for (const CreationCase& c : cases) {
    SCOPED_TRACE(c.name);
    standin_reset();
    if (c.initCommonControls) InitCommonControls();
    HWND parent = nullptr;
    if (c.parent == Parent::kLivePage || c.parent == Parent::kDestroyedPage) {
      parent = makePage();
      ASSERT_NE(parent, nullptr);
      if (c.parent == Parent::kDestroyedPage) {
        ASSERT_TRUE(DestroyWindow(parent));
      }
    } else if (c.parent == Parent::kUnknown) {
      parent = kUnknownWindow;
    }
    standin_failNextWindowCreations(c.scriptedFailures);
    HWND window = CreateWindowExA(0, c.className, nullptr, c.style, 0, 0, 10, 10, parent, nullptr,
                                  nullptr, nullptr);
    EXPECT_EQ(window != nullptr, c.created);
    EXPECT_EQ(standin_isWindow(window) != 0, c.created);
  }
}

TEST_F(StandinTest, scripted_failures_end_after_their_count) {
  standin_failNextWindowCreations(2);
  EXPECT_EQ(makeList(page), nullptr);
  EXPECT_EQ(makePage(), nullptr);
  EXPECT_NE(makeList(page), nullptr);

  standin_failNextWindowCreations(1);
  standin_failNextWindowCreations(0);
  EXPECT_NE(makeList(page), nullptr);
}

TEST_F(StandinTest, keeps_every_creation_property) {
  HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, nullptr, kEditorListStyle, 210, 7,
                              450, 200, page, kListId, kInstance, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(standin_lastCreatedWindow(), list);

  StandinWindowInfo info{};
  ASSERT_TRUE(standin_getWindowInfo(list, &info));
  EXPECT_EQ(info.exStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
  EXPECT_STREQ(info.className, "SysListView32");
  EXPECT_EQ(info.titleLength, -1);
  EXPECT_EQ(info.style, 0x50000001u);
  EXPECT_EQ(info.x, 210);
  EXPECT_EQ(info.y, 7);
  EXPECT_EQ(info.width, 450);
  EXPECT_EQ(info.height, 200);
  EXPECT_EQ(info.parent, page);
  EXPECT_EQ(info.controlId, kListId);
  EXPECT_EQ(info.instance, kInstance);
  EXPECT_EQ(info.listViewExStyle, 0u);
  EXPECT_TRUE(info.visible);
  EXPECT_EQ(info.lastShowCommand, -1);
  EXPECT_EQ(info.showCount, 0);

  ASSERT_TRUE(standin_getWindowInfo(page, &info));
  EXPECT_STREQ(info.className, "STATIC");
  EXPECT_EQ(info.titleLength, 10);
  EXPECT_STREQ(info.title, "Ustawienia");
  EXPECT_FALSE(info.visible);
  EXPECT_EQ(info.parent, nullptr);
}

TEST_F(StandinTest, window_info_truncates_a_long_title_but_reports_its_length) {
  const std::string title(300, 'x');
  HWND window = CreateWindowExA(0, "STATIC", title.c_str(), 0, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
  StandinWindowInfo info{};
  ASSERT_TRUE(standin_getWindowInfo(window, &info));
  EXPECT_EQ(info.titleLength, 300);
  EXPECT_EQ(std::string(info.title), title.substr(0, sizeof info.title - 1));
}

TEST_F(StandinTest, window_info_refuses_null_output_and_dead_windows) {
  StandinWindowInfo info{};
  info.width = 12345;
  EXPECT_FALSE(standin_getWindowInfo(page, nullptr));
  EXPECT_FALSE(standin_getWindowInfo(nullptr, &info));
  EXPECT_FALSE(standin_getWindowInfo(kUnknownWindow, &info));
  ASSERT_TRUE(DestroyWindow(page));
  EXPECT_FALSE(standin_getWindowInfo(page, &info));
  EXPECT_EQ(info.width, 12345);
}

TEST_F(StandinTest, handles_are_never_reused_not_even_after_a_reset) {
  std::vector<HWND> seen = {page};
  for (int i = 0; i < 3; ++i) {
    HWND list = makeList(page);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(DestroyWindow(list));
    seen.push_back(list);
  }
  standin_reset();
  EXPECT_FALSE(standin_isWindow(page));
  HWND fresh = makePage();
  ASSERT_NE(fresh, nullptr);
  for (HWND old : seen) EXPECT_NE(fresh, old);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_NE(seen[i], seen[i - 1]);
}

// ---------------------------------------------------------------------------
// Reset and InitCommonControls

TEST_F(StandinTest, reset_forgets_windows_initialisation_and_scripts) {
  HWND list = makeList(page);
  ASSERT_NE(list, nullptr);
  standin_setMessageBoxAnswer(IDYES);
  MessageBoxA(nullptr, "a", "b", MB_YESNO);
  standin_failNextWindowCreations(5);
  ASSERT_EQ(standin_initCommonControlsCount(), 1);

  standin_reset();
  EXPECT_FALSE(standin_isWindow(list));
  EXPECT_FALSE(standin_isWindow(page));
  EXPECT_EQ(standin_initCommonControlsCount(), 0);
  EXPECT_EQ(standin_lastCreatedWindow(), nullptr);
  EXPECT_EQ(standin_messageBoxCount(), 0);
  EXPECT_EQ(standin_lastMessageBoxText(nullptr, 0), -1);
  EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_YESNO), IDNO);

  // No scripted failure is left, but the list view class is gone until the
  // common controls are initialised again.
  HWND newPage = makePage();
  ASSERT_NE(newPage, nullptr);
  EXPECT_EQ(makeList(newPage), nullptr);
  InitCommonControls();
  InitCommonControls();
  EXPECT_EQ(standin_initCommonControlsCount(), 2);
  EXPECT_NE(makeList(newPage), nullptr);
}

// ---------------------------------------------------------------------------
// DestroyWindow and ShowWindow

TEST_F(StandinTest, destroy_refuses_null_unknown_and_destroyed_handles) {
  EXPECT_FALSE(DestroyWindow(nullptr));
  EXPECT_FALSE(DestroyWindow(kUnknownWindow));
  ASSERT_TRUE(DestroyWindow(page));
  EXPECT_FALSE(DestroyWindow(page));
}

TEST_F(StandinTest, destroy_takes_children_and_grandchildren_but_not_parents_or_siblings) {
  HWND list = makeList(page);
  HWND inner =
      CreateWindowExA(0, "STATIC", nullptr, WS_CHILD, 0, 0, 1, 1, page, nullptr, nullptr, nullptr);
  HWND grandchild =
      CreateWindowExA(0, "STATIC", nullptr, WS_CHILD, 0, 0, 1, 1, inner, nullptr, nullptr, nullptr);
  HWND greatGrandchild = makeList(grandchild);
  HWND otherPage = makePage();
  ASSERT_NE(greatGrandchild, nullptr);

  ASSERT_TRUE(DestroyWindow(inner));
  EXPECT_FALSE(standin_isWindow(inner));
  EXPECT_FALSE(standin_isWindow(grandchild));
  EXPECT_FALSE(standin_isWindow(greatGrandchild));
  EXPECT_TRUE(standin_isWindow(page));
  EXPECT_TRUE(standin_isWindow(list));

  ASSERT_TRUE(DestroyWindow(page));
  EXPECT_FALSE(standin_isWindow(list));
  EXPECT_TRUE(standin_isWindow(otherPage));
  EXPECT_EQ(standin_listRowCount(list), -1);
}

TEST_F(StandinTest, show_window_answers_the_previous_visibility_and_records_the_command) {
  HWND list = makeList(page);
  EXPECT_FALSE(ShowWindow(nullptr, SW_SHOWNORMAL));
  EXPECT_FALSE(ShowWindow(kUnknownWindow, SW_SHOWNORMAL));

  EXPECT_TRUE(ShowWindow(list, SW_SHOWNORMAL));  // created with WS_VISIBLE
  EXPECT_TRUE(ShowWindow(list, SW_HIDE));
  EXPECT_FALSE(ShowWindow(list, SW_HIDE));
  EXPECT_FALSE(ShowWindow(list, SW_SHOWNORMAL));

  StandinWindowInfo info{};
  ASSERT_TRUE(standin_getWindowInfo(list, &info));
  EXPECT_TRUE(info.visible);
  EXPECT_EQ(info.lastShowCommand, SW_SHOWNORMAL);
  EXPECT_EQ(info.showCount, 4);

  EXPECT_FALSE(ShowWindow(page, SW_SHOWNORMAL));  // created without WS_VISIBLE
}

// ---------------------------------------------------------------------------
// Messages to windows that cannot answer them

TEST_F(StandinTest, messages_to_no_list_view_answer_zero_and_change_nothing) {
  HWND destroyed = makeList(page);
  ASSERT_TRUE(DestroyWindow(destroyed));
  HWND list = listWithRows({"a"});
  const struct {
    const char* name;
    HWND target;
  } targets[] = {
      {"null", nullptr},
      {"unknown", kUnknownWindow},
      {"destroyed list", destroyed},
      {"static window", page},
  };
  std::string text = "x";
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.pszText = &text[0];
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT;
  column.pszText = &text[0];
  LVFINDINFOA find{};
  find.flags = LVFI_STRING;
  find.psz = "a";
  const struct {
    UINT msg;
    WPARAM wParam;
    const void* lParam;
  } messages[] = {
      {LVM_GETITEMCOUNT, 0, nullptr},
      {LVM_INSERTITEMA, 0, &item},
      {LVM_INSERTCOLUMNA, 0, &column},
      {LVM_SETITEMTEXTA, 0, &item},
      {LVM_GETITEMTEXTA, 0, &item},
      {LVM_DELETEITEM, 0, nullptr},
      {LVM_SETITEMSTATE, static_cast<WPARAM>(-1), &item},
      {LVM_FINDITEMA, static_cast<WPARAM>(-1), &find},
      {LVM_REDRAWITEMS, 0, nullptr},
      {LVM_SETEXTENDEDLISTVIEWSTYLE, 0, reinterpret_cast<const void*>(0x1020)},
  };
  for (const auto& target : targets) {
    for (const auto& m : messages) {
      SCOPED_TRACE(std::string(target.name) + " message " + std::to_string(m.msg));
      EXPECT_EQ(send(target.target, m.msg, m.wParam, m.lParam), 0);
    }
  }
  EXPECT_EQ(text, "x");
  EXPECT_EQ(firstColumn(list), std::vector<std::string>{"a"});
  EXPECT_EQ(standin_listRowSelected(list, 0), 0);
}

TEST_F(StandinTest, unknown_messages_to_a_list_answer_zero) {
  HWND list = listWithRows({"a"});
  EXPECT_EQ(SendMessageA(list, 0, 0, 0), 0);
  EXPECT_EQ(SendMessageA(list, LVM_FIRST, 0, 0), 0);
  EXPECT_EQ(SendMessageA(list, 0x0010 /* WM_CLOSE */, 0, 0), 0);
  EXPECT_TRUE(standin_isWindow(list));
  EXPECT_EQ(standin_listRowCount(list), 1);
}

// ---------------------------------------------------------------------------
// Extended style and columns

TEST_F(StandinTest, extended_style_mask_zero_sets_every_bit_and_answers_the_previous_style) {
  HWND list = makeList(page);
  EXPECT_EQ(SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                         LVS_EX_FULLROWSELECT | LVS_EX_UNDERLINECOLD),
            0);
  StandinWindowInfo info{};
  ASSERT_TRUE(standin_getWindowInfo(list, &info));
  EXPECT_EQ(info.listViewExStyle, 0x1020u);

  // A mask limits the change to its bits.
  EXPECT_EQ(SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, 0), 0x1020);
  ASSERT_TRUE(standin_getWindowInfo(list, &info));
  EXPECT_EQ(info.listViewExStyle, 0x1000u);
  EXPECT_EQ(SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, 0x20), 0x1000);
  ASSERT_TRUE(standin_getWindowInfo(list, &info));
  EXPECT_EQ(info.listViewExStyle, 0x20u);
}

struct ColumnCase {
  const char* name;
  bool nullColumn;
  int index;
  UINT mask;
  LRESULT result;
  std::vector<std::string> texts;  // after the insertion
  std::vector<int> widths;
};

TEST_F(StandinTest, insert_column_places_the_column_and_keeps_only_masked_fields) {
  const ColumnCase cases[] = {
      {"null column", true, 0, LVCF_WIDTH | LVCF_TEXT, -1, {"A", "B"}, {10, 20}},
      {"negative index", false, -1, LVCF_WIDTH | LVCF_TEXT, -1, {"A", "B"}, {10, 20}},
      {"at the front", false, 0, LVCF_WIDTH | LVCF_TEXT, 0, {"N", "A", "B"}, {99, 10, 20}},
      {"in the middle", false, 1, LVCF_WIDTH | LVCF_TEXT, 1, {"A", "N", "B"}, {10, 99, 20}},
      {"at the end", false, 2, LVCF_WIDTH | LVCF_TEXT, 2, {"A", "B", "N"}, {10, 20, 99}},
      {"past the end", false, 50, LVCF_WIDTH | LVCF_TEXT, 2, {"A", "B", "N"}, {10, 20, 99}},
      {"index beyond int",
       false,
       INT_MAX,
       LVCF_WIDTH | LVCF_TEXT,
       2,
       {"A", "B", "N"},
       {10, 20, 99}},
      {"text only", false, 2, LVCF_TEXT, 2, {"A", "B", "N"}, {10, 20, 0}},
      {"width only", false, 2, LVCF_WIDTH, 2, {"A", "B", ""}, {10, 20, 99}},
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(c.name);
    HWND list = makeList(page);
    ASSERT_EQ(insertColumn(list, 0, LVCF_WIDTH | LVCF_TEXT, 10, "A"), 0);
    ASSERT_EQ(insertColumn(list, 1, LVCF_WIDTH | LVCF_TEXT, 20, "B"), 1);
    if (c.nullColumn) {
      EXPECT_EQ(send(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c.index), nullptr), c.result);
    } else {
      EXPECT_EQ(insertColumn(list, c.index, c.mask, 99, "N"), c.result);
    }
    ASSERT_EQ(standin_listColumnCount(list), static_cast<int>(c.texts.size()));
    for (int i = 0; i < standin_listColumnCount(list); ++i) {
      EXPECT_EQ(columnText(list, i), c.texts[static_cast<size_t>(i)]) << "column " << i;
      EXPECT_EQ(standin_listColumnWidth(list, i), c.widths[static_cast<size_t>(i)])
          << "column " << i;
    }
    EXPECT_EQ(standin_listColumnWidth(list, -1), -1);
    EXPECT_EQ(standin_listColumnWidth(list, standin_listColumnCount(list)), -1);
    EXPECT_EQ(columnText(list, standin_listColumnCount(list)), "<missing>");
  }
}

TEST_F(StandinTest, a_column_inserted_between_filled_cells_moves_the_later_cells_right) {
  HWND list = makeList(page);
  insertColumn(list, 0, LVCF_TEXT, 0, "From");
  insertColumn(list, 1, LVCF_TEXT, 0, "To");
  insertRow(list, 0, "from");
  ASSERT_TRUE(setCell(list, 0, 1, "to"));
  ASSERT_EQ(insertColumn(list, 1, LVCF_TEXT, 0, "Middle"), 1);
  EXPECT_EQ(cellText(list, 0, 0), "from");
  EXPECT_EQ(cellText(list, 0, 1), "");
  EXPECT_EQ(cellText(list, 0, 2), "to");
}

// ---------------------------------------------------------------------------
// Rows

struct InsertCase {
  const char* name;
  bool nullItem;
  int index;
  int subItem;
  LRESULT result;
  std::vector<std::string> rows;  // after the insertion
};

TEST_F(StandinTest, insert_item_places_the_row_at_its_index_clamped_to_the_end) {
  const InsertCase cases[] = {
      {"null item", true, 0, 0, -1, {"r0", "r1", "r2"}},
      {"negative index", false, -1, 0, -1, {"r0", "r1", "r2"}},
      {"sub-item instead of item", false, 0, 1, -1, {"r0", "r1", "r2"}},
      {"at the front", false, 0, 0, 0, {"new", "r0", "r1", "r2"}},
      {"in the middle", false, 2, 0, 2, {"r0", "r1", "new", "r2"}},
      {"at the end", false, 3, 0, 3, {"r0", "r1", "r2", "new"}},
      {"past the end", false, 40, 0, 3, {"r0", "r1", "r2", "new"}},
      {"at INT_MAX", false, INT_MAX, 0, 3, {"r0", "r1", "r2", "new"}},
  };
  for (const InsertCase& c : cases) {
    SCOPED_TRACE(c.name);
    HWND list = listWithRows({"r0", "r1", "r2"});
    if (c.nullItem) {
      EXPECT_EQ(send(list, LVM_INSERTITEMA, 0, nullptr), c.result);
    } else {
      std::string text = "new";
      LVITEMA item{};
      item.mask = LVIF_TEXT;
      item.iItem = c.index;
      item.iSubItem = c.subItem;
      item.pszText = &text[0];
      EXPECT_EQ(send(list, LVM_INSERTITEMA, 0, &item), c.result);
    }
    EXPECT_EQ(firstColumn(list), c.rows);
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(c.rows.size()));
  }
}

TEST_F(StandinTest, insert_item_into_an_empty_list_and_without_text) {
  HWND list = makeList(page);
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(insertRow(list, 7, "only"), 0);

  // Without LVIF_TEXT the pointer is not read.
  LVITEMA item{};
  item.iItem = 1;
  item.pszText = reinterpret_cast<LPSTR>(static_cast<uintptr_t>(1));
  EXPECT_EQ(send(list, LVM_INSERTITEMA, 0, &item), 1);
  EXPECT_EQ(firstColumn(list), (std::vector<std::string>{"only", ""}));
}

TEST_F(StandinTest, rows_of_a_sorted_list_follow_their_text_not_the_index) {
  HWND list = listWithRows({}, kEditorListStyle | LVS_SORTASCENDING);
  EXPECT_EQ(insertRow(list, 0, "m"), 0);
  EXPECT_EQ(insertRow(list, 0, "z"), 1);
  EXPECT_EQ(insertRow(list, 5, "A"), 0);
  EXPECT_EQ(firstColumn(list), (std::vector<std::string>{"A", "m", "z"}));
}

struct DeleteCase {
  const char* name;
  int row;
  LRESULT result;
  std::vector<std::string> rows;  // after the deletion
};

TEST_F(StandinTest, delete_item_moves_the_following_rows_up) {
  const DeleteCase cases[] = {
      {"negative row", -1, FALSE, {"r0", "r1", "r2"}},
      {"past the end", 3, FALSE, {"r0", "r1", "r2"}},
      {"first", 0, TRUE, {"r1", "r2"}},
      {"middle", 1, TRUE, {"r0", "r2"}},
      {"last", 2, TRUE, {"r0", "r1"}},
  };
  for (const DeleteCase& c : cases) {
    SCOPED_TRACE(c.name);
    HWND list = listWithRows({"r0", "r1", "r2"});
    ASSERT_TRUE(setCell(list, 1, 1, "to1"));
    ASSERT_TRUE(setCell(list, 2, 2, "type2"));
    EXPECT_EQ(SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(c.row), 0), c.result);
    EXPECT_EQ(firstColumn(list), c.rows);
    // The sub-items travel with their row.
    for (int row = 0; row < standin_listRowCount(list); ++row) {
      const std::string& first = c.rows[static_cast<size_t>(row)];
      EXPECT_EQ(cellText(list, row, 1), first == "r1" ? "to1" : "");
      EXPECT_EQ(cellText(list, row, 2), first == "r2" ? "type2" : "");
    }
  }
  HWND empty = listWithRows({});
  EXPECT_EQ(SendMessageA(empty, LVM_DELETEITEM, 0, 0), FALSE);
}

// ---------------------------------------------------------------------------
// Cell texts

TEST_F(StandinTest, set_item_text_needs_an_existing_row_and_column) {
  HWND list = listWithRows({"r0"});
  LVITEMA item{};
  EXPECT_EQ(send(list, LVM_SETITEMTEXTA, 0, nullptr), FALSE);
  EXPECT_EQ(setCell(list, -1, 1, "x"), FALSE);
  EXPECT_EQ(setCell(list, 1, 1, "x"), FALSE);
  EXPECT_EQ(setCell(list, 0, -1, "x"), FALSE);
  EXPECT_EQ(setCell(list, 0, 3, "x"), FALSE);  // three columns
  item.iSubItem = 2;
  item.pszText = nullptr;
  EXPECT_EQ(send(list, LVM_SETITEMTEXTA, 0, &item), TRUE);
  EXPECT_EQ(cellText(list, 0, 2), "");
  EXPECT_EQ(setCell(list, 0, 2, "Perl"), TRUE);
  EXPECT_EQ(setCell(list, 0, 0, "renamed"), TRUE);
  EXPECT_EQ(cellText(list, 0, 0), "renamed");
  EXPECT_EQ(cellText(list, 0, 1), "");
  EXPECT_EQ(cellText(list, 0, 2), "Perl");
  EXPECT_EQ(cellText(list, 0, 3), "<missing>");
  EXPECT_EQ(cellText(list, 1, 0), "<missing>");
}

TEST_F(StandinTest, get_item_text_copies_what_fits_and_answers_the_copied_length) {
  HWND list = listWithRows({"Zamie\xf1 z"});
  const struct {
    const char* name;
    int row;
    int subItem;
    int bufferSize;
    LRESULT result;
    std::string text;
  } cases[] = {
      {"missing row", 1, 0, 16, 0, "untouched"},
      {"missing column", 0, 5, 16, 0, "untouched"},
      {"zero-sized buffer", 0, 0, 0, 0, "untouched"},
      {"buffer of one", 0, 0, 1, 0, ""},
      {"short buffer", 0, 0, 4, 3, "Zam"},
      {"exact buffer", 0, 0, 9, 8, "Zamie\xf1 z"},
      {"large buffer", 0, 0, 16, 8, "Zamie\xf1 z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[16] = "untouched";
    LVITEMA item{};
    item.iSubItem = c.subItem;
    item.pszText = buffer;
    item.cchTextMax = c.bufferSize;
    EXPECT_EQ(send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(c.row), &item), c.result);
    EXPECT_EQ(std::string(buffer), c.text);
  }
  EXPECT_EQ(send(list, LVM_GETITEMTEXTA, 0, nullptr), 0);
}

TEST_F(StandinTest, cell_reader_answers_the_full_length_whatever_the_buffer) {
  HWND list = listWithRows({"abcdef"});
  char buffer[4] = {'?', '?', '?', '?'};
  EXPECT_EQ(standin_listCellText(list, 0, 0, nullptr, 0), 6);
  EXPECT_EQ(standin_listCellText(list, 0, 0, buffer, 0), 6);
  EXPECT_EQ(buffer[0], '?');
  EXPECT_EQ(standin_listCellText(list, 0, 0, buffer, 4), 6);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(standin_listCellText(page, 0, 0, buffer, 4), -1);
  EXPECT_EQ(standin_listRowCount(page), -1);
  EXPECT_EQ(standin_listColumnCount(page), -1);
}

// ---------------------------------------------------------------------------
// Row state

TEST_F(StandinTest, selection_is_per_row_and_several_rows_may_be_selected) {
  HWND list = listWithRows({"r0", "r1", "r2", "r3"});
  EXPECT_EQ(setState(list, 1, LVIS_SELECTED, LVIS_SELECTED), TRUE);
  EXPECT_EQ(setState(list, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED), TRUE);
  EXPECT_EQ(getState(list, 0, LVIS_SELECTED), 0);
  EXPECT_EQ(getState(list, 1, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(getState(list, 2, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(getState(list, 2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
  // The answer holds only the bits asked for.
  EXPECT_EQ(getState(list, 2, LVIS_FOCUSED), LVIS_FOCUSED);
  EXPECT_EQ(getState(list, 2, 0), 0);
  EXPECT_EQ(getState(list, 3, LVIS_SELECTED), 0);

  // The state mask protects the other bits.
  EXPECT_EQ(setState(list, 2, 0, LVIS_FOCUSED), TRUE);
  EXPECT_EQ(getState(list, 2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED);

  // The reader agrees with the messages, and the state moves with its row.
  EXPECT_EQ(standin_listRowSelected(list, 1), 1);
  EXPECT_EQ(SendMessageA(list, LVM_DELETEITEM, 0, 0), TRUE);
  EXPECT_EQ(standin_listRowSelected(list, 0), 1);
  EXPECT_EQ(standin_listRowSelected(list, 1), 1);
  EXPECT_EQ(standin_listRowSelected(list, 2), 0);
}

TEST_F(StandinTest, set_item_state_refuses_missing_rows_and_minus_one_means_every_row) {
  HWND list = listWithRows({"r0", "r1", "r2"});
  EXPECT_EQ(send(list, LVM_SETITEMSTATE, 0, nullptr), FALSE);
  EXPECT_EQ(setState(list, 3, LVIS_SELECTED, LVIS_SELECTED), FALSE);
  EXPECT_EQ(setState(list, -2, LVIS_SELECTED, LVIS_SELECTED), FALSE);
  EXPECT_EQ(getState(list, 3, LVIS_SELECTED), 0);
  EXPECT_EQ(getState(list, -1, LVIS_SELECTED), 0);

  EXPECT_EQ(setState(list, -1, LVIS_SELECTED, LVIS_SELECTED), TRUE);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(getState(list, row, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(setState(list, -1, 0, LVIS_SELECTED), TRUE);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(getState(list, row, LVIS_SELECTED), 0);
}

TEST_F(StandinTest, insert_item_with_state_sets_only_the_masked_bits) {
  HWND list = makeList(page);
  std::string text = "a";
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_STATE;
  item.pszText = &text[0];
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  item.stateMask = LVIS_SELECTED;
  ASSERT_EQ(send(list, LVM_INSERTITEMA, 0, &item), 0);
  EXPECT_EQ(getState(list, 0, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED);

  item.mask = LVIF_TEXT;  // the state fields are ignored without LVIF_STATE
  item.stateMask = LVIS_SELECTED;
  ASSERT_EQ(send(list, LVM_INSERTITEMA, 0, &item), 0);
  EXPECT_EQ(getState(list, 0, LVIS_SELECTED), 0);
}

TEST_F(StandinTest, focus_and_single_selection_belong_to_one_row_only) {
  HWND multi = listWithRows({"r0", "r1"});
  setState(multi, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  setState(multi, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  EXPECT_EQ(getState(multi, 0, LVIS_FOCUSED | LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(getState(multi, 1, LVIS_FOCUSED | LVIS_SELECTED), LVIS_FOCUSED | LVIS_SELECTED);

  HWND single = listWithRows({"r0", "r1"}, kEditorListStyle | LVS_SINGLESEL);
  setState(single, 0, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_TRUE(standin_listSetRowSelected(single, 1, TRUE));
  EXPECT_EQ(standin_listRowSelected(single, 0), 0);
  EXPECT_EQ(standin_listRowSelected(single, 1), 1);
}

TEST_F(StandinTest, selection_reader_and_writer_refuse_missing_rows_and_non_lists) {
  HWND list = listWithRows({"r0", "r1"});
  EXPECT_EQ(standin_listRowSelected(nullptr, 0), -1);
  EXPECT_EQ(standin_listRowSelected(page, 0), -1);
  EXPECT_EQ(standin_listRowSelected(list, -1), -1);
  EXPECT_EQ(standin_listRowSelected(list, 2), -1);
  EXPECT_FALSE(standin_listSetRowSelected(nullptr, 0, TRUE));
  EXPECT_FALSE(standin_listSetRowSelected(page, 0, TRUE));
  EXPECT_FALSE(standin_listSetRowSelected(list, 2, TRUE));

  EXPECT_TRUE(standin_listSetRowSelected(list, -1, TRUE));
  EXPECT_EQ(getState(list, 0, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(getState(list, 1, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_TRUE(standin_listSetRowSelected(list, 0, FALSE));
  EXPECT_EQ(getState(list, 0, LVIS_SELECTED), 0);
}

// ---------------------------------------------------------------------------
// Redraw requests

TEST_F(StandinTest, redraw_items_is_accepted_for_any_range_and_recorded) {
  HWND list = listWithRows({"r0"});
  int first = 77;
  int last = 77;
  EXPECT_EQ(standin_listRedrawCount(list), 0);
  EXPECT_FALSE(standin_listLastRedraw(list, &first, &last));
  EXPECT_EQ(first, 77);

  // The editor asks for the range up to the row count before a deletion,
  // one past the last row.
  EXPECT_EQ(SendMessageA(list, LVM_REDRAWITEMS, 0, 1), TRUE);
  EXPECT_EQ(SendMessageA(list, LVM_REDRAWITEMS, 0, 4), TRUE);
  EXPECT_EQ(standin_listRedrawCount(list), 2);
  EXPECT_TRUE(standin_listLastRedraw(list, &first, &last));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 4);
  EXPECT_TRUE(standin_listLastRedraw(list, nullptr, nullptr));
  EXPECT_EQ(standin_listRedrawCount(page), -1);
  EXPECT_FALSE(standin_listLastRedraw(page, &first, &last));
}

// ---------------------------------------------------------------------------
// Finding rows

struct FindCase {
  const char* name;
  int start;
  UINT flags;
  const char* text;
  LRESULT result;
};

TEST_F(StandinTest, find_item_compares_the_whole_first_column_from_after_the_start) {
  HWND list = listWithRows({"alpha", "Beta", "ALPHA", "alphabet", ""});
  ASSERT_TRUE(setCell(list, 1, 1, "gamma"));
  const FindCase cases[] = {
      {"null text", -1, LVFI_STRING, nullptr, -1},
      {"no comparison flag", -1, 0, "alpha", -1},
      {"empty text finds the empty row", -1, LVFI_STRING, "", 4},
      {"start -1 searches from the first row", -1, LVFI_STRING, "alpha", 0},
      {"letter case is ignored", -1, LVFI_STRING, "bEtA", 1},
      {"the search starts after the start row", 0, LVFI_STRING, "alpha", 2},
      {"a start on the match itself skips it", 1, LVFI_STRING, "beta", -1},
      {"no wrap without LVFI_WRAP", 2, LVFI_STRING, "alpha", -1},
      {"LVFI_WRAP goes on from the first row", 2, LVFI_STRING | LVFI_WRAP, "alpha", 0},
      {"LVFI_WRAP reaches the start row last", 1, LVFI_STRING | LVFI_WRAP, "beta", 1},
      {"start at the last row", 4, LVFI_STRING, "alpha", -1},
      {"start past the rows", 99, LVFI_STRING, "alpha", -1},
      {"start past the rows with wrap", 99, LVFI_STRING | LVFI_WRAP, "beta", 1},
      {"start below -1", -5, LVFI_STRING, "alpha", -1},
      {"a prefix is no match without LVFI_PARTIAL", -1, LVFI_STRING, "alph", -1},
      {"a longer text is no match", -1, LVFI_STRING, "alphas", -1},
      {"sub-items are not searched", -1, LVFI_STRING, "gamma", -1},
      {"surrounding space counts", -1, LVFI_STRING, " alpha", -1},
      {"LVFI_PARTIAL matches a prefix", -1, LVFI_STRING | LVFI_PARTIAL, "ALPH", 0},
      {"LVFI_PARTIAL alone matches a prefix", 0, LVFI_PARTIAL, "alph", 2},
      {"LVFI_PARTIAL from after the start", 2, LVFI_PARTIAL, "alphab", 3},
      {"LVFI_PARTIAL with a text longer than the row", -1, LVFI_PARTIAL, "alphabets", -1},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(findItem(list, c.start, c.flags, c.text), c.result);
  }
  EXPECT_EQ(send(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), nullptr), -1);
  EXPECT_EQ(findItem(listWithRows({}), -1, LVFI_STRING, ""), -1);
}

// The pairs a Polish Windows (code page 1250) treats as one letter in two
// cases; every other byte matches only itself.
TEST_F(StandinTest, find_item_folds_exactly_the_windows1250_letter_pairs) {
  int partner[256];
  for (int b = 0; b < 256; ++b) partner[b] = b;
  auto pair = [&](int upper, int lower) {
    partner[upper] = lower;
    partner[lower] = upper;
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 0x20);
  const int listed[][2] = {{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F},
                           {0xA3, 0xB3}, {0xA5, 0xB9}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xBC, 0xBE}};
  for (const auto& p : listed) pair(p[0], p[1]);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) pair(c, c + 0x20);
  }

  // Row i holds the single byte i + 1.
  std::vector<std::string> texts;
  for (int b = 1; b < 256; ++b) texts.push_back(std::string(1, static_cast<char>(b)));
  HWND list = listWithRows(texts);
  for (int b = 1; b < 256; ++b) {
    SCOPED_TRACE("byte " + std::to_string(b));
    const char search[] = {static_cast<char>(b), '\0'};
    const int firstOfClass = std::min(b, partner[b]);
    EXPECT_EQ(findItem(list, -1, LVFI_STRING, search), firstOfClass - 1);
    // Searching after that row finds the other member, or nothing.
    const LRESULT other = partner[b] == b ? -1 : std::max(b, partner[b]) - 1;
    EXPECT_EQ(findItem(list, firstOfClass - 1, LVFI_STRING, search), other);
  }
}

TEST_F(StandinTest, find_item_matches_polish_words_in_either_case) {
  // "ZAŻÓŁĆ GĘŚLĄ" and "zażółć gęślą", with Ź/ź and Ś/ś, in Windows-1250.
  HWND list = listWithRows({"ZA\xaf\xd3\xa3\xc6 G\xca\x8cL\xa5",
                            "\x8f"
                            "d\x8a"
                            "bi\xd7"});
  EXPECT_EQ(findItem(list, -1, LVFI_STRING, "za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9"), 0);
  EXPECT_EQ(findItem(list, -1, LVFI_STRING,
                     "\x9f"
                     "d\x9a"
                     "bi\xd7"),
            1);
  // The multiplication sign is not a capital of the division sign.
  EXPECT_EQ(findItem(list, -1, LVFI_STRING,
                     "\x9f"
                     "d\x9a"
                     "bi\xf7"),
            -1);
}

// ---------------------------------------------------------------------------
// Message box

TEST_F(StandinTest, message_box_records_the_call_and_answers_the_script) {
  EXPECT_EQ(standin_messageBoxCount(), 0);
  EXPECT_EQ(standin_lastMessageBoxText(nullptr, 0), -1);
  EXPECT_EQ(standin_lastMessageBoxCaption(nullptr, 0), -1);
  EXPECT_EQ(standin_lastMessageBoxStyle(), 0u);
  EXPECT_EQ(standin_lastMessageBoxOwner(), nullptr);

  const struct {
    const char* name;
    bool script;
    int answer;
    bool ownedByPage;
    const char* text;
    const char* caption;
    int expected;
  } cases[] = {
      {"null texts, unscripted", false, 0, false, nullptr, nullptr, IDNO},
      {"unscripted answer is no", false, 0, false, "Czy na pewno usun\xb9\xe6 zaznaczone?",
       "Potwierdzenie", IDNO},
      {"scripted yes, text with format directives", true, IDYES, false, "%s%n", "Potwierdzenie",
       IDYES},
      {"the script holds for later boxes", false, 0, false, "again", "c", IDYES},
      {"scripted cancel, with an owner", true, IDCANCEL, true, "t", "c", IDCANCEL},
  };
  int count = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.script) standin_setMessageBoxAnswer(c.answer);
    const HWND owner = c.ownedByPage ? page : nullptr;
    EXPECT_EQ(MessageBoxA(owner, c.text, c.caption, MB_YESNO | MB_ICONQUESTION), c.expected);
    EXPECT_EQ(standin_messageBoxCount(), ++count);
    char text[64] = {};
    char caption[64] = {};
    const std::string wantText = c.text != nullptr ? c.text : "";
    const std::string wantCaption = c.caption != nullptr ? c.caption : "";
    EXPECT_EQ(standin_lastMessageBoxText(text, sizeof text), static_cast<int>(wantText.size()));
    EXPECT_EQ(text, wantText);
    EXPECT_EQ(standin_lastMessageBoxCaption(caption, sizeof caption),
              static_cast<int>(wantCaption.size()));
    EXPECT_EQ(caption, wantCaption);
    EXPECT_EQ(standin_lastMessageBoxStyle(), 0x24u);
    EXPECT_EQ(standin_lastMessageBoxOwner(), owner);
  }
}

// ---------------------------------------------------------------------------
// Exports

// The simulator finds the stand-in's functions by name; a hidden symbol
// would leave it without them.
TEST(StandinExports, every_function_is_found_by_name) {
  const char* names[] = {
      "InitCommonControls",
      "CreateWindowExA",
      "DestroyWindow",
      "ShowWindow",
      "SendMessageA",
      "MessageBoxA",
      "standin_initCommonControlsCount",
      "standin_reset",
      "standin_failNextWindowCreations",
      "standin_lastCreatedWindow",
      "standin_isWindow",
      "standin_getWindowInfo",
      "standin_listColumnCount",
      "standin_listColumnWidth",
      "standin_listColumnText",
      "standin_listRowCount",
      "standin_listCellText",
      "standin_listRowSelected",
      "standin_listSetRowSelected",
      "standin_listRedrawCount",
      "standin_listLastRedraw",
      "standin_messageBoxCount",
      "standin_setMessageBoxAnswer",
      "standin_lastMessageBoxText",
      "standin_lastMessageBoxCaption",
      "standin_lastMessageBoxStyle",
      "standin_lastMessageBoxOwner",
  };
  for (const char* name : names) {
    EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
  }
  auto reset = reinterpret_cast<PFN_standin_reset>(dlsym(RTLD_DEFAULT, "standin_reset"));
  auto count = reinterpret_cast<PFN_standin_initCommonControlsCount>(
      dlsym(RTLD_DEFAULT, "standin_initCommonControlsCount"));
  ASSERT_NE(reset, nullptr);
  ASSERT_NE(count, nullptr);
  InitCommonControls();
  EXPECT_GE(count(), 1);
  reset();
  EXPECT_EQ(count(), 0);
}

}  // namespace
