// The rule editor on the settings page, driven as the messenger drives it:
// events through CALL_UI_ACTION, fields answered by the host, the list view
// and the confirmation box served by the Win32 stand-in.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/standin_client.h"
#include "shell/action_event.h"
#include "shell/call_ids.h"
#include "shell/element_ids.h"
#include "shell/page_records.h"
#include "tests/support/fake_host.h"
#include "tests/support/plugin_library.h"

using namespace qmx;

namespace {

using qmxhost::ListRow;
using qmxhost::StandinClient;
using qmxtest::FakeHost;
using qmxtest::PluginLibrary;

const char kWord[] = "S\xb3owo";  // "Słowo"

// A change the plug-in asked of a page element.
struct ElementChange {
  uint32_t call;
  int32_t id;
  std::string text;
  uint32_t status = 0;
  uint32_t statusMask = 0;
};

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin.loaded());
    ASSERT_TRUE(standin.ok()) << standin.missing();
    standin.reset();
    host.setRuleColumns("nie wiem\r\n/(\\d+) z\xb3/i\r\nkot\r\n",
                        "nie wiem\xb9\r\n$1 PLN\r\npies\r\n", "0\r\n1\r\n2\r\n");
    host.onHostCall = [this](const IMessageArgs& record) -> intptr_t {
      if (record.id != HOST_GET_ACTION_VALUE && record.id != HOST_SET_ACTION_VALUE &&
          record.id != HOST_SET_ACTION_STATUS) {
        return 0;
      }
      const auto* info = reinterpret_cast<const ActionInfo*>(record.p1);
      const int32_t id = info->ref.id;
      if (record.id == HOST_GET_ACTION_VALUE) {
        auto found = fields.find(id);
        return found == fields.end() ? 0 : reinterpret_cast<intptr_t>(found->second.c_str());
      }
      ElementChange change{record.id, id, ""};
      if (record.id == HOST_SET_ACTION_VALUE) {
        change.text = reinterpret_cast<const char*>(info->text);
      } else {
        change.status = info->status;
        change.statusMask = info->statusMask;
      }
      changes.push_back(change);
      return 0;
    };
    ASSERT_EQ(plugin.call(CALL_INIT, host.address()), 1);
    ASSERT_EQ(plugin.call(CALL_START), 1);
    settings = standin.createSettingsWindow();
    ASSERT_NE(settings, nullptr);
  }
  void TearDown() override {
    plugin.call(CALL_DEINIT);
    standin.reset();
  }

  static ActionEvent event(int32_t id, int32_t code) {
    ActionEvent e{};
    e.size = sizeof(ActionEvent);
    e.ref = ActionRef{id, kElementPage, kActionInstance};
    e.code = code;
    return e;
  }

  intptr_t send(ActionEvent& e) {
    return plugin.call(CALL_UI_ACTION, reinterpret_cast<intptr_t>(&e));
  }

  intptr_t press(int32_t id) {
    ActionEvent e = event(id, EVENT_ACTIVATE);
    return send(e);
  }

  HWND makeList() {
    ActionEvent e = event(kElementRuleList, EVENT_CREATE_WINDOW);
    e.hwndParent = settings;
    send(e);
    return e.hwnd;
  }

  void setFields(const std::string& from, const std::string& to, const std::string& type) {
    fields[kElementFromField] = from;
    fields[kElementToField] = to;
    fields[kElementTypeChoice] = type;
  }

  // The rule base as CALL_END writes it.
  std::vector<std::string> storedColumns() {
    plugin.call(CALL_END);
    return {host.textColumns[kColumnFrom], host.textColumns[kColumnTo],
            host.textColumns[kColumnType]};
  }

  PluginLibrary plugin;
  StandinClient standin{plugin.handle()};
  FakeHost host;
  HWND settings = nullptr;
  std::map<int32_t, std::string> fields;
  std::vector<ElementChange> changes;
};

const std::vector<ListRow> kThreeRules = {{"nie wiem", "nie wiem\xb9", kWord},
                                          {"/(\\d+) z\xb3/i", "$1 PLN", "Perl"},
                                          {"kot", "pies", ""}};

TEST_F(EditorTest, create_event_makes_the_list_and_moves_the_placement) {
  ActionEvent e = event(kElementRuleList, EVENT_CREATE_WINDOW);
  e.hwndParent = settings;
  e.pos1 = 5;
  e.pos2 = 7;
  EXPECT_EQ(send(e), 0);
  ASSERT_NE(e.hwnd, nullptr);
  EXPECT_EQ(e.hwnd, standin.lastCreatedWindow());
  EXPECT_EQ(e.pos1, 455);
  EXPECT_EQ(e.pos2, 207);
  EXPECT_EQ(e.width, 450);
  EXPECT_EQ(e.height, 200);

  StandinWindowInfo info{};
  ASSERT_TRUE(standin.windowInfo(e.hwnd, &info));
  EXPECT_STREQ(info.className, "SysListView32");
  EXPECT_EQ(info.exStyle, 0x200u);
  EXPECT_EQ(info.style, 0x50000001u);
  EXPECT_EQ(info.titleLength, -1) << "the list has no title";
  EXPECT_EQ(info.x, 17);
  EXPECT_EQ(info.y, 5);
  EXPECT_EQ(info.width, 450);
  EXPECT_EQ(info.height, 200);
  EXPECT_EQ(info.parent, settings);
  EXPECT_EQ(reinterpret_cast<intptr_t>(info.controlId), 889007);
  EXPECT_EQ(static_cast<void*>(info.instance), host.instance);
  EXPECT_EQ(info.listViewExStyle, 0x1020u);

  EXPECT_EQ(standin.columnTexts(e.hwnd),
            (std::vector<std::string>{"Zamie\xf1 z:", "Zamie\xf1 na:", "Typ:"}));
  EXPECT_EQ(standin.columnWidths(e.hwnd), (std::vector<int>{195, 195, 50}));
  EXPECT_EQ(standin.rows(e.hwnd), kThreeRules);
}

TEST_F(EditorTest, failed_creation_still_moves_the_placement_and_keeps_no_list) {
  standin.failNextWindowCreations(1);
  ActionEvent e = event(kElementRuleList, EVENT_CREATE_WINDOW);
  e.hwndParent = settings;
  e.hwnd = reinterpret_cast<HWND>(0x1234);
  EXPECT_EQ(send(e), 0);
  EXPECT_EQ(e.hwnd, nullptr);
  EXPECT_EQ(e.pos1, 450);
  EXPECT_EQ(e.pos2, 200);
  // Without a list Add is refused, as on Windows where the search answers 0.
  setFields("nowe", "x", "0");
  press(kElementAddButton);
  EXPECT_EQ(storedColumns()[0], "nie wiem\r\n/(\\d+) z\xb3/i\r\nkot\r\n");
}

TEST_F(EditorTest, window_events_shorter_than_their_fields_are_ignored) {
  ActionEvent create = event(kElementRuleList, EVENT_CREATE_WINDOW);
  create.hwndParent = settings;
  create.size = kMinCreateWindowEventSize - 1;
  EXPECT_EQ(send(create), 0);
  EXPECT_EQ(create.hwnd, nullptr);
  EXPECT_EQ(create.width, 0);
  EXPECT_EQ(standin.lastCreatedWindow(), settings);

  HWND list = makeList();
  ActionEvent destroy = event(kElementRuleList, EVENT_DESTROY_WINDOW);
  destroy.hwnd = list;
  destroy.size = kMinDestroyWindowEventSize - 1;
  send(destroy);
  EXPECT_TRUE(standin.isWindow(list));
  destroy.size = kMinDestroyWindowEventSize;
  send(destroy);
  EXPECT_FALSE(standin.isWindow(list));
}

TEST_F(EditorTest, null_event_answers_zero_without_reporting) {
  host.events.clear();
  EXPECT_EQ(plugin.call(CALL_UI_ACTION, 0), 0);
  EXPECT_TRUE(host.events.empty());
}

TEST_F(EditorTest, add_appends_a_rule_and_its_row_and_shows_the_list) {
  HWND list = makeList();
  setFields("pies", "kot", "1");
  EXPECT_EQ(press(kElementAddButton), 0);
  std::vector<ListRow> rows = kThreeRules;
  rows.push_back({"pies", "kot", "Perl"});
  EXPECT_EQ(standin.rows(list), rows);
  StandinWindowInfo info{};
  ASSERT_TRUE(standin.windowInfo(list, &info));
  EXPECT_EQ(info.lastShowCommand, SW_SHOWNORMAL);
  EXPECT_EQ(storedColumns()[2], "0\r\n1\r\n2\r\n1\r\n");
}

struct AddCase {
  const char* from;
  const char* type;
  bool added;
  const char* why;
};

TEST_F(EditorTest, add_refuses_a_from_already_listed_in_any_letter_case) {
  const AddCase cases[] = {
      {"", "0", true, "an empty From is added while no row has an empty first column"},
      {"", "0", false, "a second empty From finds the first"},
      {"NIE WIEM", "0", false, "ASCII letters fold"},
      {"KOT", "0", false, "a rule of neither kind still has its row"},
      {"nie wie", "0", true, "the whole text must match"},
      {"\xaf"
       "aba",
       "x", true, "a new word, typed as atoi reads it"},
      {"\xbf"
       "ABA",
       "0", false, "Polish letters fold too"},
  };
  HWND list = makeList();
  size_t expectedRows = 3;
  for (const AddCase& c : cases) {
    setFields(c.from, "to", c.type);
    press(kElementAddButton);
    if (c.added) ++expectedRows;
    EXPECT_EQ(standin.rows(list).size(), expectedRows) << c.why;
  }
  EXPECT_EQ(standin.rows(list).back(), (ListRow{"\xaf"
                                                "aba",
                                                "to", kWord}));
}

TEST_F(EditorTest, add_with_unanswered_fields_adds_empty_texts) {
  HWND list = makeList();
  fields.clear();
  press(kElementAddButton);
  ASSERT_EQ(standin.rows(list).size(), 4u);
  EXPECT_EQ(standin.rows(list).back(), (ListRow{"", "", kWord}));
}

TEST_F(EditorTest, delete_removes_every_selected_row_and_its_rule_after_yes) {
  HWND list = makeList();
  standin.selectRow(list, 0, true);
  standin.selectRow(list, 1, true);
  standin.setMessageBoxAnswer(IDYES);
  EXPECT_EQ(press(kElementDeleteButton), 0);
  EXPECT_EQ(standin.messageBoxCount(), 1);
  EXPECT_EQ(standin.lastMessageBoxText(), "Czy na pewno usun\xb9\xe6 zaznaczone?");
  EXPECT_EQ(standin.lastMessageBoxCaption(), "Potwierdzenie");
  EXPECT_EQ(standin.lastMessageBoxStyle(), 0x24u);
  EXPECT_EQ(standin.lastMessageBoxOwner(), nullptr);
  EXPECT_EQ(standin.rows(list), std::vector<ListRow>{kThreeRules[2]});
  int first = -1;
  int last = -1;
  ASSERT_TRUE(standin.lastRedraw(list, &first, &last));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 2) << "the rule count before the second removal";
  EXPECT_EQ(standin.redrawCount(list), 2);
  EXPECT_EQ(storedColumns(), (std::vector<std::string>{"kot\r\n", "pies\r\n", "2\r\n"}));
}

TEST_F(EditorTest, delete_keeps_the_order_of_rows_left) {
  HWND list = makeList();
  standin.selectRow(list, 1, true);
  standin.setMessageBoxAnswer(IDYES);
  press(kElementDeleteButton);
  EXPECT_EQ(standin.rows(list), (std::vector<ListRow>{kThreeRules[0], kThreeRules[2]}));
}

TEST_F(EditorTest, delete_answered_other_than_yes_changes_nothing) {
  HWND list = makeList();
  standin.selectRow(list, 0, true);
  for (int answer : {IDNO, IDCANCEL, 0}) {
    standin.setMessageBoxAnswer(answer);
    press(kElementDeleteButton);
    EXPECT_EQ(standin.rows(list), kThreeRules) << "answer " << answer;
  }
  EXPECT_EQ(standin.messageBoxCount(), 3);
  EXPECT_EQ(storedColumns()[0], "nie wiem\r\n/(\\d+) z\xb3/i\r\nkot\r\n");
}

TEST_F(EditorTest, edit_without_selection_only_sets_the_save_status) {
  makeList();
  changes.clear();
  EXPECT_EQ(press(kElementEditButton), 0);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].call, +HOST_SET_ACTION_STATUS);
  EXPECT_EQ(changes[0].id, kElementSaveButton);
  EXPECT_EQ(changes[0].status, 2u);
  EXPECT_EQ(changes[0].statusMask, 0u);
}

TEST_F(EditorTest, edit_copies_the_first_selected_rule_into_the_fields) {
  HWND list = makeList();
  standin.selectRow(list, 1, true);
  standin.selectRow(list, 2, true);
  changes.clear();
  press(kElementEditButton);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[1].id, kElementFromField);
  EXPECT_EQ(changes[1].text, "/(\\d+) z\xb3/i");
  EXPECT_EQ(changes[2].id, kElementToField);
  EXPECT_EQ(changes[2].text, "$1 PLN");
  EXPECT_EQ(changes[3].id, kElementTypeChoice);
  EXPECT_EQ(changes[3].text, "1");
  EXPECT_EQ(standin.rows(list), kThreeRules) << "Edit changes no rule";
}

TEST_F(EditorTest, save_button_and_other_elements_do_nothing) {
  makeList();
  host.events.clear();
  const int32_t ignored[] = {kElementSaveButton, kElementFromField, kElementCaseSensitive, 0, 123};
  for (int32_t id : ignored) {
    EXPECT_EQ(press(id), 0) << id;
  }
  ActionEvent wrongCode = event(kElementAddButton, 2);
  EXPECT_EQ(send(wrongCode), 0);
  EXPECT_TRUE(host.events.empty());
}

TEST_F(EditorTest, reload_replaces_the_rules_but_not_the_rows) {
  HWND list = makeList();
  setFields("nowe", "x", "0");
  press(kElementAddButton);
  host.setRuleColumns("a\r\n", "b\r\n", "0\r\n");
  host.events.clear();
  EXPECT_EQ(press(kElementReload), 0);
  ASSERT_FALSE(host.logLines().empty());
  EXPECT_EQ(host.logLines()[0],
            "Manualne prze\xb3"
            "adowanie bazy danych");
  EXPECT_EQ(standin.rows(list).size(), 4u) << "the rows stay until the list is made again";
  EXPECT_EQ(storedColumns(), (std::vector<std::string>{"a\r\n", "b\r\n", "0\r\n"}));
}

TEST_F(EditorTest, rows_past_the_rules_after_a_reload_remove_no_rule) {
  HWND list = makeList();
  host.setRuleColumns("a\r\n", "b\r\n", "0\r\n");
  press(kElementReload);

  standin.selectRow(list, 2, true);
  changes.clear();
  press(kElementEditButton);
  EXPECT_EQ(changes.size(), 1u) << "Edit looks no further than the last rule";

  standin.setMessageBoxAnswer(IDYES);
  press(kElementDeleteButton);
  EXPECT_EQ(standin.rows(list).size(), 2u);
  EXPECT_EQ(storedColumns()[0], "a\r\n");
}

TEST_F(EditorTest, page_setup_then_add_delete_edit_reach_the_stored_columns) {
  EXPECT_EQ(plugin.call(CALL_SET_COLUMNS), 1);
  EXPECT_EQ(plugin.call(CALL_UI_REGISTER), 1);
  HWND list = makeList();
  setFields("teh", "the", "0");
  press(kElementAddButton);
  setFields("/\\s+$/", "", "1");
  press(kElementAddButton);
  standin.selectRow(list, 0, true);
  standin.selectRow(list, 2, true);
  standin.setMessageBoxAnswer(IDYES);
  press(kElementDeleteButton);
  standin.selectRow(list, 1, true);
  changes.clear();
  press(kElementEditButton);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[1].text, "teh");
  EXPECT_EQ(storedColumns(),
            (std::vector<std::string>{"/(\\d+) z\xb3/i\r\nteh\r\n/\\s+$/\r\n",
                                      "$1 PLN\r\nthe\r\n\r\n", "1\r\n0\r\n1\r\n"}));
  ActionEvent destroy = event(kElementRuleList, EVENT_DESTROY_WINDOW);
  destroy.hwnd = list;
  send(destroy);
  EXPECT_FALSE(standin.isWindow(list));
}

}  // namespace
