// The columns and the settings page as the host receives them, byte for byte
// where the 32-bit layout is the documented one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/call_ids.h"
#include "shell/element_ids.h"
#include "shell/page_records.h"
#include "tests/support/expected_page.h"
#include "tests/support/fake_host.h"
#include "tests/support/plugin_library.h"

using namespace qmx;

namespace {

using qmxtest::FakeHost;
using qmxtest::HostEvent;
using qmxtest::PluginLibrary;
using qmxtest::readLe;

constexpr bool kDocumentedLayout = sizeof(void*) == 4;

// A record the plug-in passed as p1, copied while the call ran.
struct Sent {
  uint32_t id;
  std::vector<uint8_t> bytes;
  std::string text;  // the text its address field pointed at
};

class SettingsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin.loaded());
    host.onHostCall = [this](const IMessageArgs& record) -> intptr_t {
      const uint32_t id = record.id;
      if (id == HOST_REGISTER_COLUMN) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
        const auto* args = reinterpret_cast<const ColumnArgs*>(&record);
        sent.push_back({id, std::vector<uint8_t>(bytes, bytes + sizeof(ColumnArgs)),
                        reinterpret_cast<const char*>(args->name)});
      } else if (id == HOST_REGISTER_ICON) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(record.p1);
        sent.push_back({id, std::vector<uint8_t>(bytes, bytes + sizeof(IconArgs)), ""});
      } else if (id == HOST_CREATE_ACTION) {
        const auto* info = reinterpret_cast<const ActionInfo*>(record.p1);
        const auto* bytes = reinterpret_cast<const uint8_t*>(info);
        std::string text = info->text ? reinterpret_cast<const char*>(info->text) : "<null>";
        sent.push_back({id, std::vector<uint8_t>(bytes, bytes + info->size), text});
      }
      return 0;
    };
    plugin.call(CALL_INIT, host.address());
  }
  void TearDown() override { plugin.call(CALL_DEINIT); }

  PluginLibrary plugin;
  FakeHost host;
  std::vector<Sent> sent;
};

struct ColumnCase {
  int32_t id;
  const char* name;
  int32_t type;
};

TEST_F(SettingsPageTest, set_columns_declares_five_columns_in_order) {
  EXPECT_EQ(plugin.call(CALL_SET_COLUMNS), 1);
  EXPECT_EQ(host.logLines(), std::vector<std::string>{"Ustawiam kolumny"});
  const ColumnCase expected[] = {
      {889001, "Rewordix/From", 1},          {889002, "Rewordix/To", 1},
      {889007, "Rewordix/Type", 1},          {889005, "Rewordix/Przychodzace", 0},
      {889006, "Rewordix/CaseSensitive", 0},
  };
  ASSERT_EQ(sent.size(), 5u);
  for (size_t i = 0; i < sent.size(); ++i) {
    const std::vector<uint8_t>& bytes = sent[i].bytes;
    EXPECT_EQ(sent[i].text, expected[i].name);
    EXPECT_EQ(readLe(bytes, 0, 2), static_cast<int64_t>(sizeof(ColumnArgs)));
    EXPECT_EQ(readLe(bytes, 2, 4), 1102);
    for (size_t offset = 6; offset < offsetof(ColumnArgs, column); ++offset) {
      EXPECT_EQ(bytes[offset], 0) << "column " << i << " byte " << offset;
    }
    EXPECT_EQ(readLe(bytes, offsetof(ColumnArgs, column), 4), expected[i].id);
    EXPECT_EQ(readLe(bytes, offsetof(ColumnArgs, type), 4), expected[i].type);
    EXPECT_EQ(readLe(bytes, offsetof(ColumnArgs, reserved31), 4), 0);
    if (kDocumentedLayout) {
      EXPECT_EQ(bytes.size(), 39u);
      EXPECT_EQ(readLe(bytes, 23, 4), expected[i].id);
      EXPECT_EQ(readLe(bytes, 27, 4), expected[i].type);
    }
  }
}

TEST_F(SettingsPageTest, icon_is_registered_with_the_instance_and_resource_101) {
  host.instance = reinterpret_cast<void*>(0x00400000);
  EXPECT_EQ(plugin.call(CALL_UI_REGISTER), 1);
  ASSERT_FALSE(sent.empty());
  ASSERT_EQ(sent[0].id, +HOST_REGISTER_ICON);
  const std::vector<uint8_t>& bytes = sent[0].bytes;
  EXPECT_EQ(readLe(bytes, 0, 2), static_cast<int64_t>(sizeof(IconArgs)));
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, iconId), 4), 889000);
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, value8), 4), 1);
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, value12), 4), 0);
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, value16), 4), 1);
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, instance), sizeof(intptr_t)), 0x00400000);
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, resourceId), 4), 101);
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, reserved28), 4), 0);
  EXPECT_EQ(readLe(bytes, offsetof(IconArgs, reserved32), 4), 0);
  if (kDocumentedLayout) {
    const std::vector<uint8_t> documented = {36,  0, 0, 0, 0xA8, 0x90, 0x0D, 0, 1, 0, 0,    0,
                                             0,   0, 0, 0, 1,    0,    0,    0, 0, 0, 0x40, 0,
                                             101, 0, 0, 0, 0,    0,    0,    0, 0, 0, 0,    0};
    EXPECT_EQ(bytes, documented);
  }
}

TEST_F(SettingsPageTest, page_elements_are_created_in_order_with_their_records) {
  EXPECT_EQ(plugin.call(CALL_UI_REGISTER), 1);
  EXPECT_EQ(host.logLines(), std::vector<std::string>{"Rejestruje si\xea w interface'ie"});
  ASSERT_EQ(sent.size(), 1u + qmxtest::kExpectedPageSize);
  for (size_t i = 0; i < qmxtest::kExpectedPageSize; ++i) {
    const qmxtest::ExpectedElement& expected = qmxtest::kExpectedPage[i];
    const Sent& element = sent[i + 1];
    const std::vector<uint8_t>& b = element.bytes;
    SCOPED_TRACE("element " + std::to_string(i + 1));
    ASSERT_EQ(element.id, +HOST_CREATE_ACTION);
    ASSERT_EQ(b.size(), expected.longForm ? kActionInfoLongSize : kActionInfoShortSize);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, ref), 4), expected.id);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, ref) + 4, 4), expected.parent);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, ref) + 8, 4), -2);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, value14), 4), -1);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, mask), 4), 863);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, status), 4), static_cast<int32_t>(expected.status));
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, statusMask), 4), -1);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, param), 4), expected.param);
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, value72), 2), expected.information ? 50 : 0);
    for (size_t offset : {offsetof(ActionInfo, reserved18), offsetof(ActionInfo, value22),
                          offsetof(ActionInfo, reserved26), offsetof(ActionInfo, reserved42),
                          offsetof(ActionInfo, value46), offsetof(ActionInfo, textSize),
                          offsetof(ActionInfo, value58), offsetof(ActionInfo, value66)}) {
      EXPECT_EQ(readLe(b, offset, 4), 0) << "offset " << offset;
    }
    EXPECT_EQ(readLe(b, offsetof(ActionInfo, value70), 2), 0);
    if (expected.longForm) {
      EXPECT_EQ(readLe(b, offsetof(ActionInfo, value74), 4), 0);
    }
    if (expected.information) {
      EXPECT_EQ(element.text.rfind(expected.text, 0), 0u);
    } else {
      EXPECT_EQ(element.text, expected.text ? expected.text : "<null>");
    }
    if (kDocumentedLayout) {
      EXPECT_EQ(readLe(b, 0, 2), expected.longForm ? 78 : 74);
      EXPECT_EQ(readLe(b, 34, 4), static_cast<int32_t>(expected.status));
      EXPECT_EQ(readLe(b, 62, 4), expected.param);
      EXPECT_EQ(readLe(b, 72, 2), expected.information ? 50 : 0);
    }
  }
}

TEST_F(SettingsPageTest, information_text_names_version_build_and_maintainer) {
  plugin.call(CALL_UI_REGISTER);
  const std::string& text = sent.at(17).text;
  const std::string head = "<b>Quillmax</b><br>Wersja: 0.0.5beta<br>Data kompilacji: ";
  ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
  // "Sep 29 2004 00:46:32": the build date and time as the compiler writes them.
  const std::string stamp = text.substr(head.size(), 20);
  EXPECT_EQ(stamp[3], ' ');
  EXPECT_EQ(stamp[6], ' ');
  EXPECT_EQ(stamp[11], ' ');
  EXPECT_EQ(stamp[14], ':');
  EXPECT_EQ(stamp[17], ':');
  const std::string maintainer = "<br><b>Opieka nad wtyczka:</b> ";
  EXPECT_EQ(text.compare(head.size() + 20, maintainer.size(), maintainer), 0) << text;
  EXPECT_EQ(text.substr(text.size() - 4), "<br>");
}

TEST_F(SettingsPageTest, column_889005_has_no_element_and_889004_is_not_created) {
  plugin.call(CALL_UI_REGISTER);
  for (const Sent& element : sent) {
    if (element.id != HOST_CREATE_ACTION) continue;
    const int64_t id = readLe(element.bytes, offsetof(ActionInfo, ref), 4);
    const int64_t param = readLe(element.bytes, offsetof(ActionInfo, param), 4);
    EXPECT_NE(id, 889004);
    EXPECT_NE(id, 889005);
    EXPECT_NE(param, 889005);
  }
}

}  // namespace
