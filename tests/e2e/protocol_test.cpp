// The protocol between the messenger and the plug-in, the same cases run
// against every form of the plug-in this build can load: the Linux library
// and, where the loader is built, the shipped Windows DLL under CPU
// emulation. The simulated messenger reads every record through the layout
// of the plug-in's own address width.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "host/config_store.h"
#include "host/host_simulator.h"
#include "host/native_plugin.h"
#include "host/record_field.h"
#include "shell/call_ids.h"
#include "shell/chat_message.h"
#include "shell/element_ids.h"
#include "shell/page_records.h"
#include "tests/support/expected_page.h"
#include "tests/support/fake_host.h"
#include "tests/support/plugin_library.h"
#if defined(QUILLMAX_HAVE_PE)
#include "host/emulated_plugin.h"
#endif

using namespace qmx;

namespace {

using qmxhost::Address;
using qmxhost::ConfigStore;
using qmxhost::HostSimulator;
using qmxhost::PluginBoundary;
using qmxtest::readLe;

enum class Form { kLinuxLibrary, kWindowsDll };

std::unique_ptr<PluginBoundary> load(Form form) {
  if (form == Form::kLinuxLibrary) {
    return std::make_unique<qmxhost::NativePlugin>(qmxtest::kPluginPath);
  }
#if defined(QUILLMAX_HAVE_PE)
  return std::make_unique<qmxhost::EmulatedPlugin>(QUILLMAX_DLL);
#else
  return nullptr;
#endif
}

// Three rules with what a stored rule base may hold: Polish letters, a
// dollar sign, a slash, a lone line feed, and a type of neither kind.
const char kFrom[] = "nie wiem\r\n/(\\d+) z\xb3/i\r\nkot\r\n";
const char kTo[] = "nie wiem\xb9\r\n$1 PLN\nnetto\r\npies\r\n";
const char kType[] = "0\r\n1\r\n2\r\n";

class Protocol : public ::testing::TestWithParam<Form> {
 protected:
  void SetUp() override {
    store.setText("Rewordix/From", kFrom);
    store.setText("Rewordix/To", kTo);
    store.setText("Rewordix/Type", kType);
    try {
      plugin = load(GetParam());
    } catch (const std::exception& error) {
      FAIL() << "cannot load the plug-in: " << error.what()
             << (GetParam() == Form::kWindowsDll ? " (build it first with 'make dll')" : "");
    }
    ASSERT_NE(plugin, nullptr);
    host = std::make_unique<HostSimulator>(*plugin, store);
  }
  void TearDown() override {
    host.reset();
    plugin.reset();
  }

  // An answer that is a text's address in the plug-in's memory.
  Address answerAddress(int64_t answer) {
    return plugin->pointerSize() == 4 ? static_cast<Address>(answer) & 0xFFFFFFFFu
                                      : static_cast<Address>(answer);
  }

  ConfigStore store;
  std::unique_ptr<PluginBoundary> plugin;
  std::unique_ptr<HostSimulator> host;
};

TEST_P(Protocol, identity_answers_before_during_and_after_the_session) {
  for (int round = 0; round < 3; ++round) {
    if (round == 1) host->begin();
    if (round == 2) host->end();
    EXPECT_EQ(host->call(QUERY_PLUGIN_NUMBER), 889);
    EXPECT_EQ(host->call(QUERY_PLUGIN_KIND), 665);
    EXPECT_EQ(host->call(QUERY_20020), 2);
    EXPECT_EQ(host->call(QUERY_30017), 0);
    EXPECT_EQ(host->call(30014), 0);
    EXPECT_EQ(plugin->readString(answerAddress(host->call(QUERY_VERSION))), "0.0.5beta");
    const int64_t name = host->call(QUERY_NAME_30013);
    EXPECT_EQ(name, host->call(QUERY_NAME_30016));
    EXPECT_EQ(plugin->readString(answerAddress(name)), "Quillmax");
  }
}

TEST_P(Protocol, lifecycle_logs_and_writes_the_rule_columns_back_byte_for_byte) {
  host->begin();
  const std::vector<std::string> opening = {
      "Ustawiam kolumny",
      "Rejestruje si\xea w interface'ie",
      "Uruchamiam wtyczke",
      "\xa3"
      "aduj\xea baz\xea zmian",
      "Wczytuj\xea dane z konfiguracji",
      "Baza za\xb3"
      "adowana 3 wpis\xf3w",
  };
  EXPECT_EQ(host->log(), opening);
  store.setText("Rewordix/From", "");
  store.setText("Rewordix/To", "");
  store.setText("Rewordix/Type", "");
  host->end();
  EXPECT_EQ(store.text("Rewordix/From"), kFrom);
  EXPECT_EQ(store.text("Rewordix/To"), kTo);
  EXPECT_EQ(store.text("Rewordix/Type"), kType);
  EXPECT_EQ(host->log().back(),
            "Wy\xb3\xb9"
            "czam wtyczk\xea");
}

TEST_P(Protocol, outgoing_message_is_replaced_by_one_marked_copy) {
  host->begin();
  const qmxhost::Delivery delivery = host->deliver("nie wiem, to 15 Z\xb3 za kot", false);
  EXPECT_TRUE(delivery.replaced);
  EXPECT_EQ(delivery.text, "nie wiem\xb9, to 15 PLN\nnetto za kot");
  ASSERT_EQ(host->handedMessages().size(), 1u) << "the copy came back corrected again";
  EXPECT_EQ(host->handedMessages()[0].ext, "\x1aquillmax=1");
  EXPECT_EQ(host->handedMessages()[0].flags, 2u);

  // The copy's number, announced with call 101 in a record of fixed values.
  const size_t width = plugin->pointerSize();
  const qmxhost::RecordField p1 = QMX_RECORD_FIELD(width, Call101Args, p1);
  const qmxhost::RecordField p2 = QMX_RECORD_FIELD(width, Call101Args, p2);
  ASSERT_EQ(host->announcements().size(), 1u);
  const std::vector<uint8_t>& record = host->announcements()[0];
  EXPECT_EQ(readLe(record, 0, 2), static_cast<int64_t>(QMX_RECORD_SIZE(width, Call101Args)));
  EXPECT_EQ(readLe(record, 2, 4), -1);
  EXPECT_EQ(readLe(record, 6, 4), 0);
  EXPECT_EQ(readLe(record, 10, 4), -1);
  EXPECT_EQ(readLe(record, 14, 4), 0);
  EXPECT_EQ(readLe(record, 18, 4), 0);
  EXPECT_EQ(readLe(record, p1.offset, p1.width), 1) << "numbers count from 1";
  EXPECT_EQ(readLe(record, p2.offset, p2.width), 0);
}

TEST_P(Protocol, incoming_message_is_corrected_only_with_the_option_on) {
  host->begin();
  EXPECT_FALSE(host->deliver("nie wiem", true).replaced);
  EXPECT_TRUE(host->handedMessages().empty());
  store.setInteger("Rewordix/Przychodzace", 1);
  const qmxhost::Delivery delivery = host->deliver("nie wiem", true);
  EXPECT_TRUE(delivery.replaced);
  EXPECT_EQ(delivery.text, "nie wiem\xb9");
  EXPECT_EQ(host->handedMessages().at(0).flags, 0u);
}

TEST_P(Protocol, columns_and_page_elements_arrive_in_order_with_their_records) {
  host->begin();
  const std::vector<qmxhost::DeclaredColumn> columns = host->columns();
  ASSERT_EQ(columns.size(), 5u);
  const int32_t ids[] = {889001, 889002, 889007, 889005, 889006};
  const char* names[] = {"Rewordix/From", "Rewordix/To", "Rewordix/Type", "Rewordix/Przychodzace",
                         "Rewordix/CaseSensitive"};
  for (size_t i = 0; i < columns.size(); ++i) {
    EXPECT_EQ(columns[i].id, ids[i]);
    EXPECT_EQ(columns[i].name, names[i]);
    EXPECT_EQ(columns[i].type, i < 3 ? 1 : 0);
  }
  EXPECT_EQ(host->iconId(), 889000);

// Where a field of ActionInfo lies in the plug-in loaded.
#define AT(field) QMX_RECORD_FIELD(plugin->pointerSize(), ActionInfo, field).offset
  const auto& elements = host->elements();
  ASSERT_EQ(elements.size(), qmxtest::kExpectedPageSize);
  for (size_t i = 0; i < elements.size(); ++i) {
    const qmxtest::ExpectedElement& expected = qmxtest::kExpectedPage[i];
    const qmxhost::PageElement& element = elements[i];
    const std::vector<uint8_t>& bytes = element.record;
    SCOPED_TRACE("element " + std::to_string(i + 1));
    EXPECT_EQ(element.size,
              expected.longForm ? QMX_RECORD_SIZE(plugin->pointerSize(), ActionInfo) : AT(value74));
    EXPECT_EQ(element.id, expected.id);
    EXPECT_EQ(element.parent, expected.parent);
    EXPECT_EQ(readLe(bytes, AT(ref.instance), 4), -2);
    EXPECT_EQ(readLe(bytes, 14, 4), -1);
    EXPECT_EQ(readLe(bytes, AT(mask), 4), 863);
    EXPECT_EQ(element.status, expected.status);
    EXPECT_EQ(readLe(bytes, AT(statusMask), 4), -1);
    EXPECT_EQ(element.param, expected.param);
    EXPECT_EQ(element.value72, expected.information ? 50 : 0);
    // Every field the creation does not set is zero.
    for (size_t at : {size_t{18}, size_t{22}, size_t{26}, size_t{42}, size_t{46}, AT(textSize),
                      AT(value58), AT(value66)}) {
      EXPECT_EQ(readLe(bytes, at, 4), 0) << "offset " << at;
    }
    EXPECT_EQ(readLe(bytes, AT(value70), 2), 0);
    if (expected.longForm) {
      EXPECT_EQ(readLe(bytes, AT(value74), 4), 0);
    }
    EXPECT_EQ(element.hasText, expected.text != nullptr);
    if (expected.information) {
      EXPECT_EQ(element.text.rfind(expected.text, 0), 0u);
    } else if (expected.text) {
      EXPECT_EQ(element.text, expected.text);
    }
  }
#undef AT
}

TEST_P(Protocol, editor_adds_deletes_and_edits_through_the_list_view) {
  host->begin();
  host->openSettings();
  qmxhost::WindowSystem& windows = plugin->windows();
  const Address list = host->ruleList();
  ASSERT_NE(list, 0u);
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(windows.rows(list), (Rows{{"nie wiem", "nie wiem\xb9", "S\xb3owo"},
                                      {"/(\\d+) z\xb3/i", "$1 PLN\nnetto", "Perl"},
                                      {"kot", "pies", ""}}));

  host->setFieldValue(kElementFromField, "teh");
  host->setFieldValue(kElementToField, "the");
  host->setFieldValue(kElementTypeChoice, "0");
  EXPECT_EQ(host->press(kElementAddButton), 0);
  host->setFieldValue(kElementFromField, "KOT");
  host->press(kElementAddButton);
  EXPECT_EQ(windows.rows(list).size(), 4u) << "a From listed in another case is refused";

  windows.selectRow(list, 0, true);
  windows.selectRow(list, 1, true);
  const int boxes = windows.messageBoxCount();
  windows.setMessageBoxAnswer(6);  // IDYES
  host->press(kElementDeleteButton);
  EXPECT_EQ(windows.messageBoxCount(), boxes + 1);
  EXPECT_EQ(windows.rows(list), (Rows{{"kot", "pies", ""}, {"teh", "the", "S\xb3owo"}}));

  windows.selectRow(list, 1, true);
  host->press(kElementEditButton);
  EXPECT_EQ(host->fieldValue(kElementFromField), "teh");
  EXPECT_EQ(host->fieldValue(kElementToField), "the");
  EXPECT_EQ(host->fieldValue(kElementTypeChoice), "0");

  host->end();
  EXPECT_EQ(store.text("Rewordix/From"), "kot\r\nteh\r\n");
  EXPECT_EQ(store.text("Rewordix/Type"), "2\r\n0\r\n");
}

// The plug-in's memory as the host reaches it, where no text of `limit`
// bytes or more can be had: as if the host ran out of memory copying the
// rules to the plug-in or back.
class LongTextsOutOfMemory : public PluginBoundary {
 public:
  explicit LongTextsOutOfMemory(PluginBoundary& plugin) : plugin_(plugin) {}

  size_t limit = SIZE_MAX;

  size_t pointerSize() const override { return plugin_.pointerSize(); }
  Address allocate(size_t size) override {
    if (size >= limit) throw std::bad_alloc();
    return plugin_.allocate(size);
  }
  void release(Address address) override { plugin_.release(address); }
  void write(Address address, const void* data, size_t size) override {
    plugin_.write(address, data, size);
  }
  void read(Address address, void* data, size_t size) override {
    plugin_.read(address, data, size);
  }
  std::string readString(Address address) override {
    std::string text = plugin_.readString(address);
    if (text.size() >= limit) throw std::bad_alloc();
    return text;
  }
  int64_t call(Address record) override { return plugin_.call(record); }
  Address hostControl(qmxhost::HostOperations* operations) override {
    return plugin_.hostControl(operations);
  }
  qmxhost::WindowSystem& windows() override { return plugin_.windows(); }

 private:
  PluginBoundary& plugin_;
};

// The plug-in copes with whatever fails inside its calls and goes on: a host
// that failed while serving one must fail the call itself, or a half-done
// load or write-back of the rules would pass for a whole one (and be saved).
TEST_P(Protocol, host_out_of_memory_while_serving_the_plugin_fails_the_call) {
  const std::string rules = std::string(4096, 'a') + "\r\n";
  for (const bool whileLoading : {true, false}) {
    SCOPED_TRACE(whileLoading ? "loading the rules" : "writing the rules back");
    const std::unique_ptr<PluginBoundary> fresh = load(GetParam());
    LongTextsOutOfMemory limited(*fresh);
    ConfigStore large;
    large.setText("Rewordix/From", rules);
    HostSimulator simulator(limited, large);
    if (whileLoading) {
      limited.limit = rules.size();
      EXPECT_THROW(simulator.begin(), std::bad_alloc);
    } else {
      simulator.begin();
      limited.limit = rules.size();
      EXPECT_THROW(simulator.end(), std::bad_alloc);
    }
  }
}

std::string formName(const ::testing::TestParamInfo<Form>& info) {
  return info.param == Form::kLinuxLibrary ? "linux_library" : "windows_dll";
}

#if defined(QUILLMAX_HAVE_PE)
// What the emulator cannot give the DLL is the emulator's limit, told apart
// from a fault of the DLL: its heap full while the DLL copies its rule base,
// a call running past its instruction budget, the DLL's start-up too. Small
// limits here; the defaults hold a megabyte message and 100,000 rules.
enum class Step { kLoadingTheDll, kStartingThePlugin, kCorrectingAMessage };

struct EmulatorLimitCase {
  const char* name;
  qmxhost::EmulatorLimits limits;
  std::string from, type, message;
  Step stoppedAt;
};

TEST(EmulatedDll, limits_of_the_emulator_are_reported_as_its_own) {
  const EmulatorLimitCase cases[] = {
      {"instructions in DllMain", {64u << 20, 100, 0}, "", "", "", Step::kLoadingTheDll},
      {"heap",
       {4u << 20, 300'000'000, 0},
       std::string(3u << 20, 'a') + "\r\n",
       "0\r\n",
       "",
       Step::kStartingThePlugin},
      // The host's own copy of the rules for the DLL.
      {"heap, for what the host passes",
       {4u << 20, 300'000'000, 0},
       std::string(5u << 20, 'a') + "\r\n",
       "0\r\n",
       "",
       Step::kStartingThePlugin},
      // The «ab» up front lets the rule run: without it nothing could match.
      {"instructions",
       {64u << 20, 2'000'000, 0},
       "/(a+)+b/\r\n",
       "1\r\n",
       "ab " + std::string(2000, 'a'),
       Step::kCorrectingAMessage},
  };
  for (const EmulatorLimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigStore store;
    store.setText("Rewordix/From", c.from);
    store.setText("Rewordix/Type", c.type);
    Step step = Step::kLoadingTheDll;
    try {
      qmxhost::EmulatedPlugin plugin(QUILLMAX_DLL, c.limits);
      HostSimulator host(plugin, store);
      step = Step::kStartingThePlugin;
      host.begin();
      step = Step::kCorrectingAMessage;
      host.deliver(c.message, false);
      ADD_FAILURE() << "no limit was reached";
    } catch (const qmxhost::HostLimitReached&) {
      EXPECT_EQ(step, c.stoppedAt);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryForm, Protocol,
                         ::testing::Values(Form::kLinuxLibrary, Form::kWindowsDll), formName);
#else
INSTANTIATE_TEST_SUITE_P(EveryForm, Protocol, ::testing::Values(Form::kLinuxLibrary), formName);
#endif

}  // namespace
