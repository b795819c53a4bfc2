// The emulated user32 and comctl32 as the plug-in's editor reaches them: the
// 32-bit list-view structures read from and written to emulated memory, and
// the host's side of the windows (read, select, script, fail, reset).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/emulated_dll.h"
#include "tests/emulator/fixture_support.h"

namespace {

using qmxpetest::Fixture;

constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kLvsReport = 0x0001;
constexpr uint32_t kLvsSingleSel = 0x0004;
constexpr uint32_t kLvfiString = 0x0002;
constexpr uint32_t kLvfiPartial = 0x0008;
constexpr uint32_t kLvfiWrap = 0x0020;
constexpr uint32_t kMinusOne = 0xffffffff;

class EmulatedWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    parent = windows().createWindow("STATIC", std::string("settings"), 0, 0);
    ASSERT_NE(parent, 0u);
  }

  qmxpe::User32& windows() { return fixture->windows(); }
  uint32_t call(const std::string& name, const std::vector<uint32_t>& args = {}) {
    return fixture.call(name, args);
  }
  uint32_t text(const std::string& value) { return fixture.text(value); }

  // A report list with the columns "Z" (width 120) and "Na" (width 80) and
  // three rows, the middle one selected.
  uint32_t filledList(uint32_t style = kLvsReport) {
    const uint32_t list = call("make_list", {parent, style});
    EXPECT_NE(list, 0u);
    EXPECT_EQ(call("add_column", {list, 0, 120, text("Z")}), 0u);
    EXPECT_EQ(call("add_column", {list, 1, 80, text("Na")}), 1u);
    EXPECT_EQ(call("add_row", {list, 0, text("kot"), text("pies"), 0}), 0u);
    EXPECT_EQ(call("add_row", {list, 1,
                               text("\xa3\xf3"
                                    "d\x9f"),
                               text("miasto"), 1}),
              1u);
    EXPECT_EQ(call("add_row", {list, 2, text("nie wiem"), 0, 0}), 2u);
    return list;
  }

  Fixture fixture{"windows"};
  uint32_t parent = 0;
};

TEST_F(EmulatedWindows, creation_records_every_argument) {
  const uint32_t list = call("make_list", {parent, kLvsReport | kWsVisible});
  ASSERT_NE(list, 0u);
  EXPECT_EQ(windows().initCommonControlsCount(), 1);
  EXPECT_EQ(windows().lastCreatedWindow(), list);
  const std::optional<qmxpe::WindowInfo> info = windows().windowInfo(list);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->className, "SysListView32");
  EXPECT_EQ(info->title, std::optional<std::string>("rules"));
  EXPECT_EQ(info->exStyle, 0x200u);  // WS_EX_CLIENTEDGE
  EXPECT_EQ(info->style, kWsChild | kLvsReport | kWsVisible);
  EXPECT_EQ(info->x, 5);
  EXPECT_EQ(info->y, 6);
  EXPECT_EQ(info->width, 300);
  EXPECT_EQ(info->height, 200);
  EXPECT_EQ(info->parent, parent);
  EXPECT_EQ(info->controlId, 889007u);
  EXPECT_TRUE(info->visible);
}

TEST_F(EmulatedWindows, creation_fails_as_windows_would) {
  EXPECT_EQ(call("make_window", {text("SysListView32"), 0}), 0u) << "before InitCommonControls";
  EXPECT_EQ(call("make_list", {0, kLvsReport}), 0u) << "a child without a parent";
  EXPECT_EQ(call("make_list", {0x12345678, kLvsReport}), 0u) << "a parent that is no window";
  EXPECT_NE(call("make_window", {text("SysListView32"), 0}), 0u) << "after InitCommonControls";
  EXPECT_EQ(call("make_window", {text("Button"), 0}), 0u) << "an unknown class";
  EXPECT_EQ(call("make_window", {0x1234, 0}), 0u) << "a class atom";
  EXPECT_NE(call("make_window", {text("static"), 0}), 0u) << "class names ignore case";
  windows().failNextWindowCreations(1);
  EXPECT_EQ(call("make_list", {parent, kLvsReport}), 0u) << "scripted failure";
  EXPECT_NE(call("make_list", {parent, kLvsReport}), 0u) << "only the next one fails";
}

TEST_F(EmulatedWindows, columns_and_rows_arrive_through_the_32_bit_structures) {
  const uint32_t list = filledList();
  EXPECT_EQ(windows().columnCount(list), 2);
  EXPECT_EQ(windows().columnText(list, 0), std::optional<std::string>("Z"));
  EXPECT_EQ(windows().columnText(list, 1), std::optional<std::string>("Na"));
  EXPECT_EQ(windows().columnWidth(list, 0), 120);
  EXPECT_EQ(windows().columnWidth(list, 1), 80);
  const std::vector<std::vector<std::string>> expected = {{"kot", "pies"},
                                                          {"\xa3\xf3"
                                                           "d\x9f",
                                                           "miasto"},
                                                          {"nie wiem", ""}};
  EXPECT_EQ(windows().rows(list), expected);
  EXPECT_EQ(windows().rowSelected(list, 0), 0);
  EXPECT_EQ(windows().rowSelected(list, 1), 1);
  EXPECT_EQ(windows().rowSelected(list, 3), -1);
  EXPECT_EQ(call("row_count", {list}), 3u);
}

// LVM_GETITEMTEXTA copies at most cchTextMax - 1 characters and a
// terminator into the program's buffer and answers how many it copied.
TEST_F(EmulatedWindows, cell_text_is_copied_into_the_programs_buffer) {
  const uint32_t list = filledList();
  const uint32_t buffer = fixture->allocate(16);
  const struct {
    int row;
    int column;
    uint32_t size;
    uint32_t answer;
    const char* copied;
  } cases[] = {
      {0, 0, 16, 3, "kot"}, {0, 1, 16, 4, "pies"},  {1, 1, 4, 3, "mia"},    {0, 0, 1, 0, ""},
      {2, 1, 16, 0, ""},    {5, 0, 16, 0, nullptr}, {0, 7, 16, 0, nullptr}, {0, 0, 0, 0, nullptr},
  };
  for (const auto& c : cases) {
    fixture->write32(buffer, 0x58585858);  // "XXXX"
    EXPECT_EQ(call("get_cell", {list, static_cast<uint32_t>(c.row), static_cast<uint32_t>(c.column),
                                buffer, c.size}),
              c.answer)
        << c.row << "," << c.column << " size " << c.size;
    EXPECT_EQ(fixture->readString(buffer).substr(0, 4), c.copied ? c.copied : "XXXX")
        << c.row << "," << c.column << " size " << c.size;
  }
}

TEST_F(EmulatedWindows, find_compares_without_regard_to_case_in_code_page_1250) {
  const uint32_t list = filledList();
  const struct {
    int start;
    const char* text;
    uint32_t flags;
    uint32_t row;
  } cases[] = {
      {-1, "KOT", kLvfiString, 0},
      {-1,
       "\xb3\xd3"
       "D\x8f",
       kLvfiString, 1},  // "łÓDŹ" finds "Łódź"
      {-1, "nie", kLvfiString, kMinusOne},
      {-1, "nie", kLvfiPartial, 2},
      {0, "kot", kLvfiString, kMinusOne},
      {0, "kot", kLvfiString | kLvfiWrap, 0},
      {-1, "kot", 0, kMinusOne},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(call("find_row", {list, static_cast<uint32_t>(c.start), text(c.text), c.flags}),
              c.row)
        << c.text << " from " << c.start;
  }
}

TEST_F(EmulatedWindows, selection_from_the_program_and_from_the_host) {
  const uint32_t list = filledList(kLvsReport | kLvsSingleSel);
  EXPECT_EQ(call("select_only", {list, 2}), 1u);
  EXPECT_EQ(windows().rowSelected(list, 1), 0);
  EXPECT_EQ(windows().rowSelected(list, 2), 1);
  EXPECT_EQ(call("selected_state", {list, 2}), 2u);  // LVIS_SELECTED
  // A user's click on row 0 takes the selection in a single-selection list.
  EXPECT_TRUE(windows().setRowSelected(list, 0, true));
  EXPECT_EQ(call("selected_state", {list, 0}), 2u);
  EXPECT_EQ(call("selected_state", {list, 2}), 0u);
  EXPECT_FALSE(windows().setRowSelected(list, 9, true));
}

TEST_F(EmulatedWindows, delete_show_and_destroy) {
  const uint32_t list = filledList();
  EXPECT_EQ(call("delete_row", {list, 0}), 1u);
  EXPECT_EQ(call("delete_row", {list, 5}), 0u);
  EXPECT_EQ(windows().rowCount(list), 2);
  EXPECT_EQ(windows().cellText(list, 0, 1), std::optional<std::string>("miasto"));

  EXPECT_EQ(call("show", {list, 5}), 0u) << "was hidden";
  EXPECT_EQ(call("show", {list, 0}), 1u) << "was visible";
  EXPECT_EQ(windows().windowInfo(list)->lastShowCommand, 0);
  EXPECT_EQ(windows().windowInfo(list)->showCount, 2);

  // Destroying the parent takes the child with it.
  EXPECT_EQ(call("destroy", {parent}), 1u);
  EXPECT_FALSE(windows().isWindow(list));
  EXPECT_EQ(call("destroy", {list}), 0u);
  EXPECT_EQ(call("row_count", {list}), 0u) << "messages to a dead window answer 0";
  EXPECT_EQ(windows().rowCount(list), -1);
}

TEST_F(EmulatedWindows, message_box_answers_as_scripted_and_is_recorded) {
  EXPECT_FALSE(windows().lastMessageBox().has_value());
  EXPECT_EQ(call("ask", {parent, text("Usun\xb9\x63?"), text("Quillmax"), 0x24}), 7u)
      << "IDNO until scripted";
  windows().setMessageBoxAnswer(6);
  EXPECT_EQ(call("ask", {0, 0, text("t"), 0}), 6u);
  EXPECT_EQ(windows().messageBoxCount(), 2);
  const std::optional<qmxpe::MessageBoxRecord> last = windows().lastMessageBox();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->text, "") << "a null text reads as empty";
  EXPECT_EQ(last->caption, "t");
  EXPECT_EQ(last->owner, 0u);
}

TEST_F(EmulatedWindows, reset_forgets_everything_and_never_reuses_a_handle) {
  const uint32_t list = filledList();
  windows().setMessageBoxAnswer(6);
  windows().reset();
  EXPECT_FALSE(windows().isWindow(list));
  EXPECT_FALSE(windows().isWindow(parent));
  EXPECT_EQ(windows().initCommonControlsCount(), 0);
  EXPECT_EQ(windows().lastCreatedWindow(), 0u);
  EXPECT_EQ(call("ask", {0, text("x"), text("y"), 0}), 7u);
  const uint32_t again = windows().createWindow("STATIC", std::nullopt, 0, 0);
  EXPECT_NE(again, 0u);
  EXPECT_NE(again, list);
  EXPECT_NE(again, parent);
  EXPECT_EQ(windows().windowInfo(again)->title, std::nullopt);
}

}  // namespace
