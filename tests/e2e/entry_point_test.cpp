// The entry point as the host sees it: Quillmax.so loaded with dlopen and
// driven only through IMessageProc.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "shell/action_event.h"
#include "shell/call_ids.h"
#include "shell/calling_convention.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "tests/support/fake_host.h"
#include "tests/support/plugin_library.h"

using namespace qmx;

namespace {

using qmxtest::FakeHost;
using qmxtest::PluginLibrary;

struct IdentityCase {
  uint32_t id;
  intptr_t number;   // the answer, when `text` is null
  const char* text;  // the text the answer points at
};

const IdentityCase kIdentity[] = {
    {QUERY_20020, 2, nullptr},         {QUERY_PLUGIN_NUMBER, 889, nullptr},
    {QUERY_PLUGIN_KIND, 665, nullptr}, {QUERY_VERSION, 0, "0.0.5beta"},
    {QUERY_NAME_30013, 0, "Quillmax"}, {QUERY_NAME_30016, 0, "Quillmax"},
    {QUERY_30017, 0, nullptr},
};

void expectIdentity(PluginLibrary& plugin, const char* when) {
  for (const IdentityCase& c : kIdentity) {
    const intptr_t answer = plugin.call(c.id);
    if (c.text) {
      ASSERT_NE(answer, 0) << c.id << " " << when;
      EXPECT_STREQ(reinterpret_cast<const char*>(answer), c.text) << c.id << " " << when;
    } else {
      EXPECT_EQ(answer, c.number) << c.id << " " << when;
    }
  }
}

TEST(EntryPoint, identity_answers_hold_before_between_and_after_the_host) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  FakeHost host;
  expectIdentity(plugin, "before CALL_INIT");
  EXPECT_EQ(plugin.call(CALL_INIT, host.address()), 1);
  expectIdentity(plugin, "with a host");
  EXPECT_EQ(plugin.call(CALL_DEINIT), 1);
  expectIdentity(plugin, "after CALL_DEINIT");
  // None of the queries calls the host, not even reportNoResult.
  EXPECT_TRUE(host.events.empty());
}

TEST(EntryPoint, both_name_queries_answer_the_same_address) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  EXPECT_EQ(plugin.call(QUERY_NAME_30013), plugin.call(QUERY_NAME_30016));
}

TEST(EntryPoint, unknown_ids_report_no_result_once_a_host_is_kept) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  FakeHost host;
  for (uint32_t id : {0u, 30014u, 30015u, 99999u, 0xFFFFFFFFu}) {
    EXPECT_EQ(plugin.call(id), 0) << "before CALL_INIT, id " << id;
  }
  EXPECT_TRUE(host.events.empty());

  plugin.call(CALL_INIT, host.address());
  for (uint32_t id : {0u, 30014u, 30015u, 99999u, 0xFFFFFFFFu}) {
    host.events.clear();
    EXPECT_EQ(plugin.call(id), 0) << id;
    ASSERT_EQ(host.operationSequence(), std::vector<int>{kHostOpReportNoResult}) << id;
    EXPECT_EQ(host.events[0].code, 1);
  }

  plugin.call(CALL_DEINIT);
  host.events.clear();
  EXPECT_EQ(plugin.call(30014), 0);
  EXPECT_TRUE(host.events.empty());
}

TEST(EntryPoint, null_record_answers_zero_and_calls_nothing) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  FakeHost host;
  plugin.call(CALL_INIT, host.address());
  EXPECT_EQ(plugin.callRecord(nullptr), 0);
  EXPECT_TRUE(host.events.empty());
  plugin.call(CALL_DEINIT);
}

TEST(EntryPoint, init_with_null_host_keeps_none) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  FakeHost host;
  plugin.call(CALL_INIT, host.address());
  EXPECT_EQ(plugin.call(CALL_INIT, 0), 1);
  EXPECT_EQ(plugin.call(30014), 0);
  EXPECT_TRUE(host.events.empty()) << "the first host was not forgotten";
}

// Sends a record whose size field says it ends before p1.
intptr_t callShort(PluginLibrary& plugin, uint32_t id, intptr_t p1, uint16_t size) {
  IMessageArgs record{};
  record.size = size;
  record.id = id;
  record.p1 = p1;
  return plugin.callRecord(&record);
}

TEST(EntryPoint, record_too_short_for_p1_takes_the_default_path) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  FakeHost first;
  FakeHost second;
  const uint16_t tooShort = sizeof(IMessageArgs) - 1;

  // Without a host kept, a short CALL_INIT keeps nothing.
  EXPECT_EQ(callShort(plugin, CALL_INIT, first.address(), tooShort), 0);
  EXPECT_EQ(plugin.call(30014), 0);
  EXPECT_TRUE(first.events.empty());

  // With one kept, it reports no result and keeps the first host.
  plugin.call(CALL_INIT, first.address());
  EXPECT_EQ(callShort(plugin, CALL_INIT, second.address(), tooShort), 0);
  EXPECT_EQ(first.operationSequence(), std::vector<int>{kHostOpReportNoResult});
  EXPECT_TRUE(second.events.empty());

  // The identity queries need no parameters and still answer.
  EXPECT_EQ(callShort(plugin, QUERY_PLUGIN_NUMBER, 0, 6), 889);
  // CALL_DEINIT needs no parameters either.
  EXPECT_EQ(callShort(plugin, CALL_DEINIT, 0, 6), 1);
  first.events.clear();
  EXPECT_EQ(plugin.call(30014), 0);
  EXPECT_TRUE(first.events.empty());
}

TEST(EntryPoint, calls_that_need_the_host_answer_zero_without_one) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  for (uint32_t id :
       {CALL_START, CALL_END, CALL_MESSAGE, CALL_SET_COLUMNS, CALL_UI_REGISTER, CALL_UI_ACTION}) {
    EXPECT_EQ(plugin.call(id), 0) << id;
  }
}

using InitCountFn = int(QMX_STDCALL*)();

TEST(EntryPoint, start_logs_and_initialises_the_common_controls) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  auto initCount =
      reinterpret_cast<InitCountFn>(dlsym(plugin.handle(), "standin_initCommonControlsCount"));
  ASSERT_NE(initCount, nullptr);
  const int before = initCount();
  FakeHost host;
  plugin.call(CALL_INIT, host.address());
  EXPECT_EQ(plugin.call(CALL_START), 1);
  EXPECT_EQ(initCount(), before + 1);
  ASSERT_FALSE(host.logLines().empty());
  EXPECT_EQ(host.logLines()[0], "Uruchamiam wtyczke");
  plugin.call(CALL_DEINIT);
}

TEST(EntryPoint, end_logs_its_closing_line_in_windows_1250) {
  PluginLibrary plugin;
  ASSERT_TRUE(plugin.loaded());
  FakeHost host;
  plugin.call(CALL_INIT, host.address());
  EXPECT_EQ(plugin.call(CALL_END), 1);
  ASSERT_FALSE(host.logLines().empty());
  // "Wyłączam wtyczkę" in Windows-1250.
  EXPECT_EQ(host.logLines().back(),
            "Wy\xb3\xb9"
            "czam wtyczk\xea");
  const qmxtest::HostEvent& log = host.events.back();
  EXPECT_EQ(log.record.size(), sizeof(IMessageArgs));
  EXPECT_EQ(qmxtest::readLe(log.record, 0, 2), static_cast<int64_t>(sizeof(IMessageArgs)));
  EXPECT_EQ(log.p2, 256);
  plugin.call(CALL_DEINIT);
}

// The session's steps between CALL_INIT and CALL_END, and what the end may
// write. Stored rules are written back only over a load that read them all.
struct SessionCase {
  const char* name;
  bool start;
  int failingColumn;        // a text column whose read fails at start (0: none)
  bool reload;              // the manual reload, after the start
  int failingReloadColumn;  // a text column whose read fails at the reload
  bool initAgain;           // CALL_INIT again, a new host object's session
  bool written;
};

const SessionCase kSessions[] = {
    {"start then end", true, 0, false, 0, false, true},
    // Fault: three empty columns were written over the user's rules.
    {"end without start", false, 0, false, 0, false, false},
    // Fault: a load that ran out of memory left an empty store, which the
    // end wrote over the stored rules.
    {"failed load", true, kColumnFrom, false, 0, false, false},
    {"load failing at the last column", true, kColumnType, false, 0, false, false},
    {"failed load, then a reload that works", true, kColumnTo, true, 0, false, true},
    {"reload that fails", true, 0, true, kColumnFrom, false, false},
    {"a new host object since the load", true, 0, false, 0, true, false},
};

TEST(EntryPoint, end_writes_the_rules_back_only_over_a_complete_load) {
  // "Nie udało się załadować bazy zmian"
  const std::string failedLoad =
      "Nie uda\xb3o si\xea za\xb3"
      "adowa\xe6 bazy zmian";
  for (const SessionCase& c : kSessions) {
    SCOPED_TRACE(c.name);
    PluginLibrary plugin;
    ASSERT_TRUE(plugin.loaded());
    FakeHost host;
    host.textColumns = {{kColumnFrom, "kot\r\n"}, {kColumnTo, "pies\r\n"}, {kColumnType, "0\r\n"}};
    host.onHostCall = [](const IMessageArgs& record) -> intptr_t {
      return record.id == HOST_SEND_MESSAGE ? 1 : 0;
    };
    plugin.call(CALL_INIT, host.address());
    if (c.start) {
      host.failingTextColumn = c.failingColumn;
      EXPECT_EQ(plugin.call(CALL_START), 1);
    }
    if (c.reload) {
      host.failingTextColumn = c.failingReloadColumn;
      ActionEvent reload{};
      reload.size = sizeof(ActionEvent);
      reload.ref = ActionRef{kElementReload, kElementPage, -2};
      reload.code = 1;
      EXPECT_EQ(plugin.call(CALL_UI_ACTION, reinterpret_cast<intptr_t>(&reload)), 0);
    }
    host.failingTextColumn = 0;
    if (c.initAgain) plugin.call(CALL_INIT, host.address());

    const std::vector<std::string> log = host.logLines();
    const bool failed = c.failingColumn != 0 || c.failingReloadColumn != 0;
    EXPECT_EQ(std::count(log.begin(), log.end(), failedLoad), failed ? 1 : 0);

    // The plug-in runs on; without rules after the last load failed.
    const std::string body = "kot";
    const std::string ext;
    ChatMessage message{};
    message.size = sizeof(ChatMessage);
    message.body = reinterpret_cast<intptr_t>(body.c_str());
    message.ext = reinterpret_cast<intptr_t>(ext.c_str());
    message.flags = kMsgOutgoing;
    EXPECT_EQ(plugin.call(CALL_MESSAGE, reinterpret_cast<intptr_t>(&message)), 2);

    host.events.clear();
    EXPECT_EQ(plugin.call(CALL_END), 1);
    EXPECT_EQ(host.eventsAt(kHostOpWriteConfig).size(), c.written ? 3u : 0u);
    ASSERT_FALSE(host.logLines().empty());
    EXPECT_EQ(host.logLines().back(),
              "Wy\xb3\xb9"
              "czam wtyczk\xea");
    plugin.call(CALL_DEINIT);
  }
}

}  // namespace
