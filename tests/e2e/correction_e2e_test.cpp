// Correction as the messenger drives it: Quillmax.so loaded with dlopen, the
// rules in the host's configuration, messages through CALL_MESSAGE and the
// marked copy passed back in its turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "tests/support/chat_messages.h"
#include "tests/support/fake_host.h"
#include "tests/support/plugin_library.h"

using namespace qmx;

namespace {

using qmxtest::FakeHost;
using qmxtest::PluginLibrary;

// The stored form of three rules: a word rule, a Perl rule, a rule of neither
// kind; Polish letters, a slash, a dollar sign and a lone LF among them.
const char kFrom[] = "nie wiem\r\n/(\\d+) z\xb3/i\r\nkot\r\n";
const char kTo[] = "nie wiem\xb9\r\n$1 PLN\nnetto\r\npies\r\n";
const char kType[] = "0\r\n1\r\n2\r\n";

struct Delivered {
  std::string body;
  std::string ext;
  uint32_t flags;
};

class CorrectionEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin.loaded());
    host.setRuleColumns(kFrom, kTo, kType);
    host.onHostCall = [this](const IMessageArgs& record) -> intptr_t {
      if (record.id != HOST_SEND_MESSAGE) return 0;
      // The host copies what it keeps before the call returns.
      const auto* copy = reinterpret_cast<const ChatMessage*>(record.p1);
      delivered.push_back({reinterpret_cast<const char*>(copy->body),
                           reinterpret_cast<const char*>(copy->ext), copy->flags});
      return static_cast<intptr_t>(delivered.size());
    };
    ASSERT_EQ(plugin.call(CALL_INIT, host.address()), 1);
    ASSERT_EQ(plugin.call(CALL_START), 1);
  }
  void TearDown() override { plugin.call(CALL_DEINIT); }

  // Sends a message as the host does; returns the plug-in's answer.
  intptr_t send(const std::string& body, const std::string& ext, uint32_t flags,
                ChatMessage* record = nullptr) {
    ChatMessage local{};
    ChatMessage& message = record ? *record : local;
    message = qmxtest::chatMessage(body, ext, flags);
    return plugin.call(CALL_MESSAGE, reinterpret_cast<intptr_t>(&message));
  }

  PluginLibrary plugin;
  FakeHost host;
  std::vector<Delivered> delivered;
};

TEST_F(CorrectionEndToEnd, start_loads_the_rules_with_its_log_lines) {
  const std::vector<std::string> expected = {"Uruchamiam wtyczke",
                                             "\xa3"
                                             "aduj\xea"
                                             " baz\xea zmian",
                                             "Wczytuj\xea"
                                             " dane z konfiguracji",
                                             "Baza za\xb3"
                                             "adowana 3 wpis\xf3w"};
  EXPECT_EQ(host.logLines(), expected);
}

TEST_F(CorrectionEndToEnd, outgoing_message_is_corrected_once) {
  ChatMessage received{};
  EXPECT_EQ(send("nie wiem, to 15 Z\xb3 za kot", "", kMsgOutgoing | kMsgFlag80, &received), 2);
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].body, "nie wiem\xb9, to 15 PLN\nnetto za kot");
  EXPECT_EQ(delivered[0].ext, "\x1aquillmax=1");
  EXPECT_EQ(delivered[0].flags, kMsgOutgoing | kMsgFlag80);
  EXPECT_EQ(+received.flags, +kMsgOutgoing);

  // The host passes the copy through CALL_MESSAGE in its turn.
  host.events.clear();
  EXPECT_EQ(send(delivered[0].body, delivered[0].ext, delivered[0].flags), 0);
  EXPECT_EQ(delivered.size(), 1u) << "the marked copy was corrected again";
  EXPECT_EQ(host.operationSequence(), std::vector<int>{kHostOpReportNoResult});
}

TEST_F(CorrectionEndToEnd, incoming_message_follows_the_incoming_option) {
  host.intColumns[kColumnIncoming] = 0;
  host.events.clear();
  EXPECT_EQ(send("nie wiem", "", 0), 0);
  EXPECT_TRUE(delivered.empty());
  EXPECT_TRUE(host.logLines().empty());

  host.intColumns[kColumnIncoming] = 1;
  EXPECT_EQ(send("nie wiem", "", 0), 2);
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].body, "nie wiem\xb9");
}

TEST_F(CorrectionEndToEnd, message_without_a_record_takes_the_default_path) {
  host.events.clear();
  EXPECT_EQ(plugin.call(CALL_MESSAGE, 0), 0);
  EXPECT_EQ(host.operationSequence(), std::vector<int>{kHostOpReportNoResult});
}

TEST_F(CorrectionEndToEnd, end_writes_the_columns_back_byte_for_byte_then_logs) {
  host.events.clear();
  host.textColumns.clear();
  EXPECT_EQ(plugin.call(CALL_END), 1);
  EXPECT_EQ(host.textColumns[kColumnFrom], kFrom);
  EXPECT_EQ(host.textColumns[kColumnTo], kTo);
  EXPECT_EQ(host.textColumns[kColumnType], kType);
  std::vector<int> writes;
  for (const auto& event : host.eventsAt(kHostOpWriteConfig)) writes.push_back(event.column);
  EXPECT_EQ(writes, (std::vector<int>{kColumnFrom, kColumnTo, kColumnType}));
  ASSERT_FALSE(host.events.empty());
  EXPECT_EQ(host.events.back().text,
            "Wy\xb3\xb9"
            "czam wtyczk\xea")
      << "the closing line comes after the save";
}

}  // namespace
