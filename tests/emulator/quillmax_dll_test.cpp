// The shipped Quillmax.dll itself, run under emulation with a host built of
// callbacks: identity queries, start with the rules from the host's
// configuration, one corrected message, end. The same steps on the Linux
// build must give the same log and the same corrected copy.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "correction/correct_message.h"
#include "correction/test_switches.h"
#include "emulator/emulated_dll.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/entry_point.h"
#include "shell/host_control.h"
#include "tests/support/fake_host.h"
#include "tests/support/plugin_library.h"
#include "tests/support/rule_sessions.h"

using namespace qmx;

namespace {

using qmxpe::EmulatedDll;

using Columns = std::map<int, std::string>;

// The rule the host's configuration holds: "kot" becomes "pies", a word rule.
const Columns kColumns = {
    {kColumnFrom, "kot\r\n"}, {kColumnTo, "pies\r\n"}, {kColumnType, "0\r\n"}};

// Record layouts as the 32-bit DLL sees them.
constexpr uint32_t kArgsSize = 30;
constexpr uint32_t kArgsId = 2;
constexpr uint32_t kArgsP1 = 22;
constexpr uint32_t kArgsP2 = 26;
constexpr uint32_t kValueType = 0;
constexpr uint32_t kValueValue = 2;
constexpr uint32_t kMessageSize = 58;
constexpr uint32_t kMessageBody = 22;
constexpr uint32_t kMessageExt = 26;
constexpr uint32_t kMessageFlags = 30;

// What the DLL sent back through host call 100.
struct Delivered {
  std::string body;
  std::string ext;
  uint32_t flags;
  bool operator==(const Delivered& other) const {
    return body == other.body && ext == other.ext && flags == other.flags;
  }
};

// The messenger's side: an operation table of callbacks in emulated memory,
// a configuration answering from `columns` (other columns read as empty
// texts and zeros), and records of what arrived.
class EmulatedHost {
 public:
  EmulatedHost(EmulatedDll& dll, Columns columns) : dll_(dll), columns_(std::move(columns)) {
    const uint32_t table = dll.allocate(4 * kHostOpTableSize);
    for (uint32_t position = 0; position < kHostOpTableSize; ++position) {
      dll.write32(table + 4 * position, operation(position));
    }
    object_ = dll.allocate(4);
    dll.write32(object_, table);
  }

  // The HostControl address CALL_INIT passes.
  uint32_t object() const { return object_; }

  std::vector<std::string> logLines;
  std::vector<Delivered> delivered;
  std::vector<int> noResultCodes;
  std::map<int, std::string> written;
  bool refuseCopies = false;  // answer call 100 with 0
  // Every call into the host, as qmxtest::transcriptLine writes it.
  std::vector<std::string> transcript;
  // Integer columns; the others read as 0.
  std::map<int, int32_t> intColumns;

  // The text the host answers for `column` from now on.
  void setColumn(int column, const std::string& text) {
    columns_[column] = text;
    texts_.erase(column);
  }

 private:
  uint32_t operation(uint32_t position) {
    const std::string name = "host operation " + std::to_string(position);
    switch (position) {
      case kHostOpGetPluginInstance:
        return dll_.makeCallback(1, name, [this](const uint32_t*) {
          record(kHostOpGetPluginInstance);
          return dll_.base();
        });
      case kHostOpReportNoResult:
        return dll_.makeCallback(2, name, [this](const uint32_t* args) {
          record(kHostOpReportNoResult, static_cast<int>(args[1]));
          noResultCodes.push_back(static_cast<int>(args[1]));
          return 0u;
        });
      case kHostOpHostCall:
        return dll_.makeCallback(2, name,
                                 [this](const uint32_t* args) { return hostCall(args[1]); });
      case kHostOpReadConfig:
        return dll_.makeCallback(5, name, [this](const uint32_t* args) {
          readConfig(static_cast<int>(args[3]), args[4]);
          return 0u;
        });
      case kHostOpWriteConfig:
        return dll_.makeCallback(5, name, [this](const uint32_t* args) {
          qmxtest::HostEvent& event = configEvent(kHostOpWriteConfig, args);
          if (event.valueType == kConfigText) {
            event.text = dll_.readString(dll_.read32(args[4] + kValueValue));
            written[event.column] = event.text;
          } else {
            event.value = static_cast<int32_t>(dll_.read32(args[4] + kValueValue));
          }
          transcript.push_back(qmxtest::transcriptLine(event));
          return 0u;
        });
      default:
        // The plug-in calls five positions and no other.
        return dll_.makeCallback(1, name, [name](const uint32_t*) -> uint32_t {
          throw std::runtime_error("the plug-in called " + name);
        });
    }
  }

  // Records a call at `operation` whose only detail is `code`.
  void record(int operation, int code = 0) {
    pending_ = qmxtest::HostEvent();
    pending_.operation = operation;
    pending_.code = code;
    transcript.push_back(qmxtest::transcriptLine(pending_));
  }

  // A configuration call from its stdcall arguments (this, two reserved
  // values, the column, the value's address).
  qmxtest::HostEvent& configEvent(int operation, const uint32_t* args) {
    pending_ = qmxtest::HostEvent();
    pending_.operation = operation;
    pending_.column = static_cast<int>(args[3]);
    pending_.valueType = dll_.read16(args[4] + kValueType);
    return pending_;
  }

  uint32_t hostCall(uint32_t record) {
    const uint32_t id = dll_.read32(record + kArgsId);
    const uint32_t p1 = dll_.read32(record + kArgsP1);
    pending_ = qmxtest::HostEvent();
    pending_.operation = kHostOpHostCall;
    pending_.id = id;
    if (id == HOST_LOG) pending_.text = dll_.readString(p1);
    transcript.push_back(qmxtest::transcriptLine(pending_));
    if (id == HOST_LOG) {
      logLines.push_back(pending_.text);
    } else if (id == HOST_SEND_MESSAGE) {
      delivered.push_back({dll_.readString(dll_.read32(p1 + kMessageBody)),
                           dll_.readString(dll_.read32(p1 + kMessageExt)),
                           dll_.read32(p1 + kMessageFlags)});
      return refuseCopies ? 0 : static_cast<uint32_t>(delivered.size());
    }
    return 0;
  }

  void readConfig(int column, uint32_t value) {
    const uint32_t args[5] = {0, 0, 0, static_cast<uint32_t>(column), value};
    transcript.push_back(qmxtest::transcriptLine(configEvent(kHostOpReadConfig, args)));
    uint32_t answer = 0;
    if (dll_.read16(value + kValueType) == kConfigText) {
      // Allocated once and kept: the host's texts outlive the call.
      auto found = texts_.find(column);
      if (found == texts_.end()) {
        auto configured = columns_.find(column);
        const std::string text = configured == columns_.end() ? "" : configured->second;
        found = texts_.emplace(column, dll_.allocateString(text)).first;
      }
      answer = found->second;
    } else {
      auto configured = intColumns.find(column);
      if (configured != intColumns.end()) answer = static_cast<uint32_t>(configured->second);
    }
    dll_.write32(value + kValueValue, answer);
  }

  EmulatedDll& dll_;
  Columns columns_;
  uint32_t object_ = 0;
  std::map<int, uint32_t> texts_;
  qmxtest::HostEvent pending_;
};

class QuillmaxDll : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(QUILLMAX_DLL))
        << QUILLMAX_DLL << " is missing: build the DLL first with `make dll`";
    qmxpe::LoadOptions options;
    options.echoConsole = true;
    dll = EmulatedDll::load(QUILLMAX_DLL, options);
    const std::optional<uint32_t> proc = dll->exportAddress("_IMessageProc@4");
    ASSERT_TRUE(proc.has_value()) << "no _IMessageProc@4 export";
    messageProc = *proc;
    record = dll->allocate(kArgsSize);
  }

  // IMessageProc with a plain 30-byte record.
  uint32_t call(uint32_t id, uint32_t p1 = 0, uint32_t p2 = 0) {
    std::vector<uint8_t> bytes(kArgsSize, 0);
    bytes[0] = kArgsSize;
    std::memcpy(&bytes[kArgsId], &id, 4);
    std::memcpy(&bytes[kArgsP1], &p1, 4);
    std::memcpy(&bytes[kArgsP2], &p2, 4);
    dll->write(record, bytes.data(), bytes.size());
    return dll->callStdcall(messageProc, {record}, "IMessageProc(id " + std::to_string(id) + ")");
  }

  // A 58-byte ChatMessage around `body`; answers the call's result.
  uint32_t sendMessage(const std::string& body, uint32_t flags) {
    const uint32_t message = dll->allocate(kMessageSize);
    dll->write16(message, kMessageSize);
    dll->write32(message + kMessageBody, dll->allocateString(body));
    dll->write32(message + kMessageExt, dll->allocateString(""));
    dll->write32(message + kMessageFlags, flags);
    return call(CALL_MESSAGE, message);
  }

  std::unique_ptr<EmulatedDll> dll;
  uint32_t messageProc = 0;
  uint32_t record = 0;
};

TEST_F(QuillmaxDll, identity_queries) {
  EXPECT_EQ(call(QUERY_PLUGIN_NUMBER), 889u);
  EXPECT_EQ(call(QUERY_PLUGIN_KIND), 665u);
  const uint32_t version = call(QUERY_VERSION);
  EXPECT_EQ(dll->readString(version), "0.0.5beta");
  const uint32_t name = call(QUERY_NAME_30013);
  EXPECT_EQ(call(QUERY_NAME_30016), name);
  EXPECT_EQ(dll->readString(name), "Quillmax");
  // The texts live in the DLL's image, valid for as long as it is loaded.
  for (uint32_t address : {version, name}) {
    EXPECT_GE(address, dll->base());
    EXPECT_LT(address, dll->base() + dll->image().sizeOfImage());
  }
}

TEST_F(QuillmaxDll, start_correct_one_message_end) {
  EmulatedHost host(*dll, kColumns);
  ASSERT_EQ(call(CALL_INIT, host.object()), 1u);
  ASSERT_EQ(call(CALL_START), 1u);
  ASSERT_GE(host.logLines.size(), 4u);
  EXPECT_EQ(host.logLines[0], "Uruchamiam wtyczke");
  EXPECT_EQ(host.logLines[1],
            "\xa3"
            "aduj\xea"
            " baz\xea zmian");
  EXPECT_EQ(host.logLines[2],
            "Wczytuj\xea"
            " dane z konfiguracji");
  EXPECT_EQ(host.logLines[3].rfind("Baza za\xb3"
                                   "adowana 1 wpis",
                                   0),
            0u)
      << host.logLines[3];
  EXPECT_EQ(dll->windows().initCommonControlsCount(), 1);

  EXPECT_EQ(sendMessage("kot", kMsgOutgoing), 2u);
  ASSERT_EQ(host.delivered.size(), 1u);
  EXPECT_EQ(host.delivered[0].body, "pies");

  EXPECT_EQ(call(CALL_END), 1u);
  EXPECT_EQ(host.written[kColumnFrom], kColumns.at(kColumnFrom));
  EXPECT_EQ(host.written[kColumnTo], kColumns.at(kColumnTo));
  EXPECT_EQ(host.written[kColumnType], kColumns.at(kColumnType));
  EXPECT_EQ(call(CALL_DEINIT), 1u);
  EXPECT_NO_THROW(dll->unload());

  std::cout << "imports reached:\n";
  for (const auto& [stub, count] : dll->stubCallCounts()) {
    if (count != 0) std::cout << "  " << stub << ": " << count << "\n";
  }
}

// A rule base larger than the DLL's heap holds twice over: the load runs out
// of memory inside the DLL. The plug-in goes on without rules and the end
// leaves the stored rules as they were.
TEST_F(QuillmaxDll, load_out_of_memory_leaves_the_stored_rules_alone) {
  const std::string huge(12u << 20, 'a');
  EmulatedHost host(*dll, {{kColumnFrom, huge + "\r\n"}, {kColumnTo, "b\r\n"}});
  ASSERT_EQ(call(CALL_INIT, host.object()), 1u);
  EXPECT_EQ(call(CALL_START), 1u);
  ASSERT_EQ(host.logLines.size(), 4u);
  EXPECT_EQ(host.logLines[3],
            "Nie uda\xb3o si\xea za\xb3"
            "adowa\xe6 bazy zmian");
  EXPECT_EQ(sendMessage("kot", kMsgOutgoing), 2u);
  ASSERT_EQ(host.delivered.size(), 1u);
  EXPECT_EQ(host.delivered[0].body, "kot");
  EXPECT_EQ(call(CALL_END), 1u);
  EXPECT_TRUE(host.written.empty());
  EXPECT_EQ(host.logLines.back(),
            "Wy\xb3\xb9"
            "czam wtyczk\xea");
}

// A configuration and the messages sent with it.
struct Scenario {
  const char* name;
  Columns columns;
  std::vector<std::pair<std::string, uint32_t>> messages;  // body, flags
  bool start = true;                                       // CALL_START before the messages
  bool refuseCopies = false;                               // the host answers call 100 with 0
};

// What the host saw of one run: answers, log lines, corrected copies and
// the columns written back at the end.
struct HostRecord {
  std::vector<intptr_t> answers;
  std::vector<std::string> log;
  std::vector<Delivered> delivered;
  std::map<int, std::string> written;
};

const Scenario kScenarios[] = {
    {"word_rule", kColumns, {{"kot i kot", kMsgOutgoing}, {"nic", kMsgOutgoing}}},
    {"three_kinds_of_rule",
     {{kColumnFrom, "nie wiem\r\n/(\\d+) z\xb3/i\r\nkot\r\n"},
      {kColumnTo, "nie wiem\xb9\r\n$1 PLN\nnetto\r\npies\r\n"},
      {kColumnType, "0\r\n1\r\n2\r\n"}},
     {{"nie wiem, to 15 Z\xb3 za kot", kMsgOutgoing | kMsgFlag80}, {"nie wiem", 0}}},
    {"broken_and_undelimited_perl_rules",
     {{kColumnFrom, "/(/\r\npies\r\n/(\\d+) z\xb3/i\r\n"},
      {kColumnTo, "x\r\nkot\r\n$1 PLN\r\n"},
      {kColumnType, "1\r\n1\r\n1\r\n"}},
     {{"pies 7 z\xb3", kMsgOutgoing}}},
    {"no_rules", {}, {{"kot", kMsgOutgoing}}},
    {"keep_out_in_lookarounds",
     {{kColumnFrom, "/(?=a\\K)/\r\n/(?<=\\K.)/\r\n"},
      {kColumnTo, "x\r\ny\r\n"},
      {kColumnType, "1\r\n1\r\n"}},
     {{"a", kMsgOutgoing}, {"ab", kMsgOutgoing}}},
    {"rules_too_long_for_two_byte_links",
     {{kColumnFrom, std::string(5000, 'a') + "\r\n/" + std::string(9000, 'b') + "/\r\n"},
      {kColumnTo, "X\r\nY\r\n"},
      {kColumnType, "0\r\n1\r\n"}},
     {{std::string(5000, 'a'), kMsgOutgoing}, {std::string(9000, 'b'), kMsgOutgoing}}},
    {"host_refuses_the_copies", kColumns, {{"kot", kMsgOutgoing | kMsgFlag80}}, true, true},
    {"end_without_start", kColumns, {}, false},
};

class SameAsLinux : public QuillmaxDll, public ::testing::WithParamInterface<Scenario> {
 protected:
  HostRecord runEmulated(const Scenario& scenario) {
    HostRecord run;
    EmulatedHost host(*dll, scenario.columns);
    host.refuseCopies = scenario.refuseCopies;
    call(CALL_INIT, host.object());
    if (scenario.start) call(CALL_START);
    for (const auto& [body, flags] : scenario.messages) {
      run.answers.push_back(static_cast<intptr_t>(sendMessage(body, flags)));
    }
    call(CALL_END);
    call(CALL_DEINIT);
    run.log = host.logLines;
    run.delivered = host.delivered;
    run.written = host.written;
    return run;
  }

  static HostRecord runLinux(const Scenario& scenario) {
    HostRecord run;
    qmxtest::PluginLibrary plugin;
    EXPECT_TRUE(plugin.loaded());
    if (!plugin.loaded()) return run;
    qmxtest::FakeHost host;
    for (const auto& [column, text] : scenario.columns) host.textColumns[column] = text;
    host.onHostCall = [&](const IMessageArgs& args) -> intptr_t {
      if (args.id != HOST_SEND_MESSAGE) return 0;
      const auto* copy = reinterpret_cast<const ChatMessage*>(args.p1);
      run.delivered.push_back({reinterpret_cast<const char*>(copy->body),
                               reinterpret_cast<const char*>(copy->ext), copy->flags});
      return scenario.refuseCopies ? 0 : static_cast<intptr_t>(run.delivered.size());
    };
    plugin.call(CALL_INIT, host.address());
    if (scenario.start) plugin.call(CALL_START);
    for (const auto& [body, flags] : scenario.messages) {
      const std::string ext;
      ChatMessage message{};
      message.size = sizeof(ChatMessage);
      message.body = reinterpret_cast<intptr_t>(body.c_str());
      message.ext = reinterpret_cast<intptr_t>(ext.c_str());
      message.flags = flags;
      run.answers.push_back(plugin.call(CALL_MESSAGE, reinterpret_cast<intptr_t>(&message)));
    }
    host.textColumns.clear();
    plugin.call(CALL_END);
    plugin.call(CALL_DEINIT);
    run.log = host.logLines();
    for (const auto& event : host.eventsAt(kHostOpWriteConfig)) {
      if (event.valueType == kConfigText) run.written[event.column] = event.text;
    }
    return run;
  }
};

// The Linux build, loaded with dlopen and driven by the same steps, must say,
// send and store exactly what the DLL does.
TEST_P(SameAsLinux, log_copies_and_stored_rules) {
  const HostRecord emulated = runEmulated(GetParam());
  const HostRecord native = runLinux(GetParam());
  EXPECT_EQ(emulated.answers, native.answers);
  EXPECT_EQ(emulated.log, native.log);
  EXPECT_EQ(emulated.delivered, native.delivered);
  EXPECT_EQ(emulated.written, native.written);
  EXPECT_FALSE(emulated.log.empty());
}

INSTANTIATE_TEST_SUITE_P(QuillmaxDll, SameAsLinux, ::testing::ValuesIn(kScenarios),
                         [](const auto& test) { return std::string(test.param.name); });

// The rule loop's filters, in the DLL as it ships, against the road
// without them (this process's own build of the plug-in): random sessions
// must give the host the same calls in the same order, the same copies and
// the same answers. Fewer sessions than the native suite runs: the DLL runs
// under emulation.
TEST_F(QuillmaxDll, rule_filters_change_nothing_the_host_sees) {
  std::mt19937 random(20261215);
  for (int round = 0; round < 40; ++round) {
    const qmxtest::RuleSession session = qmxtest::randomRuleSession(random);
    setRuleFilters(RuleFilters::kOff);
    const qmxtest::HostTranscript unfiltered = qmxtest::runRuleSession(&IMessageProc, session);
    setRuleFilters(RuleFilters::kOn);

    qmxtest::HostTranscript emulated;
    EmulatedHost host(*dll, {{kColumnFrom, session.rules.from},
                             {kColumnTo, session.rules.to},
                             {kColumnType, session.rules.type}});
    host.intColumns[kColumnCaseSensitive] = session.caseOption;
    host.intColumns[kColumnIncoming] = session.incomingOption;
    call(CALL_INIT, host.object());
    call(CALL_START);
    for (const qmxtest::SessionStep& step : session.steps) {
      switch (step.kind) {
        case qmxtest::SessionStep::Kind::kMessage:
          emulated.answers.push_back(sendMessage(step.body, step.flags));
          break;
        case qmxtest::SessionStep::Kind::kReload:
          host.setColumn(kColumnFrom, step.rules.from);
          host.setColumn(kColumnTo, step.rules.to);
          host.setColumn(kColumnType, step.rules.type);
          call(CALL_START);
          break;
        case qmxtest::SessionStep::Kind::kCaseOption:
          host.intColumns[kColumnCaseSensitive] = step.caseOption;
          break;
      }
    }
    call(CALL_END);
    call(CALL_DEINIT);
    emulated.calls = host.transcript;
    for (const Delivered& copy : host.delivered) {
      emulated.copies.push_back(qmxtest::transcriptCopy(copy.body, copy.ext, copy.flags));
    }
    ASSERT_EQ(emulated.copies, unfiltered.copies) << describe(session);
    ASSERT_EQ(emulated.calls, unfiltered.calls) << describe(session);
    ASSERT_EQ(emulated.answers, unfiltered.answers) << describe(session);
  }
}

}  // namespace
