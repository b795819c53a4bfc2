#include "rules/rule_store.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "shell/call_ids.h"
#include "shell/element_ids.h"
#include "shell/host_services.h"
#include "tests/support/fake_host.h"

using namespace qmx;

namespace {

// How many allocations may still succeed before one throws std::bad_alloc;
// negative while no failure is planned. Only one allocation fails.
long g_allocationsLeft = -1;

void* allocate(std::size_t size) {
  if (g_allocationsLeft == 0) {
    g_allocationsLeft = -1;
    throw std::bad_alloc();
  }
  if (g_allocationsLeft > 0) --g_allocationsLeft;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

// Every allocation of this program goes through allocate(); the whole family
// is replaced so that memory is never freed by another family's operator.
void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}

namespace {

using qmxtest::FakeHost;
using qmxtest::HostEvent;

// One rule as (From, To, Type).
using Rule = std::tuple<std::string, std::string, std::string>;

// The log lines of a load, in Windows-1250.
// "Ładuję bazę zmian"
const std::string kLoadingLine =
    "\xa3"
    "aduj\xea baz\xea zmian";
// "Wczytuję dane z konfiguracji"
const std::string kReadingLine = "Wczytuj\xea dane z konfiguracji";
// "Baza załadowana <count> wpisów"
std::string loadedLine(int count) {
  return "Baza za\xb3"
         "adowana " +
         std::to_string(count) + " wpis\xf3w";
}

// The store as a list of rules, after checking that the three lists are
// aligned: a misaligned store cannot be read as rules at all.
std::vector<Rule> storedRules() {
  const RuleStore& store = ruleStore();
  EXPECT_EQ(store.From.size(), ruleCount());
  EXPECT_EQ(store.To.size(), ruleCount()) << "To is not aligned with From";
  EXPECT_EQ(store.Type.size(), ruleCount()) << "Type is not aligned with From";
  std::vector<Rule> rules;
  for (size_t i = 0; i < ruleCount(); ++i) rules.emplace_back(ruleFrom(i), ruleTo(i), ruleType(i));
  return rules;
}

class RuleStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setHostControl(host.hostControl());
    // Loading from a host with empty columns starts every test from an empty
    // store, whatever the previous test left.
    loadRuleBase();
    host.events.clear();
  }
  void TearDown() override { setHostControl(nullptr); }

  void appendRules(const std::vector<Rule>& rules) {
    for (const Rule& rule : rules) {
      appendRule(std::get<0>(rule), std::get<1>(rule), readTypeNumber(std::get<2>(rule)));
    }
  }

  FakeHost host;
};

struct LoadCase {
  const char* name;
  bool nullTexts;  // the host answers every text read with a null address
  std::string from;
  std::string to;
  std::string type;
  std::vector<Rule> expected;
};

const LoadCase kLoadCases[] = {
    // Null, empty and invalid columns first.
    {"null texts load as empty columns", true, "a\r\n", "x\r\n", "1\r\n", {}},
    {"three empty columns", false, "", "", "", {}},
    {"To and Type without From make no rule", false, "", "x\r\ny\r\n", "1\r\n0\r\n", {}},
    {"separator alone is one rule with empty fields",
     false,
     "\r\n",
     "\r\n",
     "\r\n",
     {{"", "", ""}}},
    // The stored form.
    {"word and Perl rule",
     false,
     "kot\r\n/a+/i\r\n",
     "pies\r\nb\r\n",
     "0\r\n1\r\n",
     {{"kot", "pies", "0"}, {"/a+/i", "b", "1"}}},
    {"short To and empty Type are padded",
     false,
     "a\r\nb\r\n",
     "x\r\n",
     "",
     {{"a", "x", "0"}, {"b", "", "0"}}},
    {"configuration without To and Type loads word rules",
     false,
     "a\r\nb\r\n",
     "",
     "",
     {{"a", "", "0"}, {"b", "", "0"}}},
    {"short Type padded with word type",
     false,
     "a\r\nb\r\nc\r\n",
     "x\r\ny\r\nz\r\n",
     "1\r\n",
     {{"a", "x", "1"}, {"b", "y", "0"}, {"c", "z", "0"}}},
    {"empty entries in the middle keep their rule",
     false,
     "a\r\n\r\nc\r\n",
     "x\r\ny\r\n\r\n",
     "1\r\n\r\n0\r\n",
     {{"a", "x", "1"}, {"", "y", ""}, {"c", "", "0"}}},
    {"empty entries at the start keep their rule",
     false,
     "\r\nb\r\n",
     "\r\ny\r\n",
     "\r\n1\r\n",
     {{"", "", ""}, {"b", "y", "1"}}},
    {"text after the last separator is one more entry",
     false,
     "a\r\nb",
     "x\r\ny",
     "0\r\n1",
     {{"a", "x", "0"}, {"b", "y", "1"}}},
    {"From tail without separator still gets padded To and Type",
     false,
     "a\r\nb",
     "x\r\n",
     "1\r\n",
     {{"a", "x", "1"}, {"b", "", "0"}}},
    {"surplus To and Type entries are dropped",
     false,
     "a\r\n",
     "x\r\ny\r\nz",
     "1\r\n1\r\n1\r\n",
     {{"a", "x", "1"}}},
    {"lone CR, lone LF, slash, dollar, backslash and Polish letters stay",
     false,
     "a\rb\r\nc\nd\r\n/(\\w+)$/i\r\n\xb3\xf3\xea\r\n",
     "\r\r\n\n\r\n$1\\$&\r\n\xa3\r\n",
     "0\r\n0\r\n1\r\n0\r\n",
     {{"a\rb", "\r", "0"},
      {"c\nd", "\n", "0"},
      {"/(\\w+)$/i", "$1\\$&", "1"},
      {"\xb3\xf3\xea", "\xa3", "0"}}},
    {"CR before a separator belongs to its entry",
     false,
     "a\r\r\n\nb\r\n",
     "x\r\ny\r\n",
     "0\r\n0\r\n",
     {{"a\r", "x", "0"}, {"\nb", "y", "0"}}},
    {"type texts load as they stand",
     false,
     "a\r\nb\r\nc\r\nd\r\n",
     "w\r\nx\r\ny\r\nz\r\n",
     "2\r\nx\r\n-1\r\n 1\r\n",
     {{"a", "w", "2"}, {"b", "x", "x"}, {"c", "y", "-1"}, {"d", "z", " 1"}}},
    {"duplicates and broken patterns load unchecked",
     false,
     "kot\r\nkot\r\n/(/\r\n",
     "a\r\nb\r\nc\r\n",
     "0\r\n0\r\n1\r\n",
     {{"kot", "a", "0"}, {"kot", "b", "0"}, {"/(/", "c", "1"}}},
};

TEST_F(RuleStoreTest, load_fills_three_aligned_lists_from_the_columns) {
  for (const LoadCase& c : kLoadCases) {
    SCOPED_TRACE(c.name);
    host.setRuleColumns(c.from, c.to, c.type);
    host.nullTexts = c.nullTexts;
    host.events.clear();
    loadRuleBase();
    EXPECT_EQ(storedRules(), c.expected);
    ASSERT_FALSE(host.logLines().empty());
    EXPECT_EQ(host.logLines().back(), loadedLine(static_cast<int>(c.expected.size())));
  }
}

TEST_F(RuleStoreTest, load_writes_three_log_lines_in_windows_1250) {
  host.setRuleColumns("a\r\nb\r\nc\r\n", "x\r\ny\r\nz\r\n", "0\r\n1\r\n0\r\n");
  loadRuleBase();
  const std::vector<std::string> expected = {kLoadingLine, kReadingLine, loadedLine(3)};
  EXPECT_EQ(host.logLines(), expected);
  // The count is formatted, not a fixed text: an empty base says 0.
  host.setRuleColumns("", "", "");
  host.events.clear();
  loadRuleBase();
  EXPECT_EQ(host.logLines().back(),
            "Baza za\xb3"
            "adowana 0 wpis\xf3w");
}

TEST_F(RuleStoreTest, load_reads_from_to_and_type_columns_in_that_order) {
  host.setRuleColumns("a\r\n", "x\r\n", "1\r\n");
  loadRuleBase();
  const std::vector<int> sequence = {kHostOpHostCall,   kHostOpHostCall,   kHostOpReadConfig,
                                     kHostOpReadConfig, kHostOpReadConfig, kHostOpHostCall};
  EXPECT_EQ(host.operationSequence(), sequence);
  std::vector<int> columns;
  for (const HostEvent& read : host.eventsAt(kHostOpReadConfig)) {
    EXPECT_EQ(read.valueType, kConfigText);
    columns.push_back(read.column);
  }
  EXPECT_EQ(columns, (std::vector<int>{kColumnFrom, kColumnTo, kColumnType}));
}

TEST_F(RuleStoreTest, load_empties_the_store_before_reading_the_columns) {
  appendRule("old", "rule", kTypeWord);
  host.setRuleColumns("a\r\n", "x\r\n", "1\r\n");
  std::vector<size_t> countAtLine;
  host.onLog = [&countAtLine](const std::string&) { countAtLine.push_back(ruleCount()); };
  loadRuleBase();
  host.onLog = nullptr;
  ASSERT_EQ(countAtLine.size(), 3u);
  EXPECT_EQ(countAtLine[1], 0u) << "store not empty when the columns are read";
  EXPECT_EQ(countAtLine[2], 1u);
  EXPECT_EQ(storedRules(), (std::vector<Rule>{{"a", "x", "1"}}));
}

TEST_F(RuleStoreTest, loading_twice_gives_the_same_store_as_loading_once) {
  host.setRuleColumns("a\r\nb\r\n", "x\r\n", "1\r\n2\r\n");
  loadRuleBase();
  const std::vector<Rule> once = storedRules();
  host.events.clear();
  loadRuleBase();
  EXPECT_EQ(storedRules(), once);
  EXPECT_EQ(host.logLines().back(), loadedLine(2));
}

TEST_F(RuleStoreTest, reload_discards_changes_made_in_memory) {
  host.setRuleColumns("a\r\nb\r\n", "x\r\ny\r\n", "0\r\n1\r\n");
  loadRuleBase();
  const std::vector<Rule> loaded = storedRules();
  appendRule("c", "z", kTypePerl);
  removeRule(0);
  loadRuleBase();
  EXPECT_EQ(storedRules(), loaded);
  // Changes in memory never reach the configuration before a save.
  EXPECT_TRUE(host.eventsAt(kHostOpWriteConfig).empty());
}

// What is worked out once from the rules (the rule loop's filters) is
// known to be out of date by the store's revision: every load, append and
// removal gives a new one, even one that leaves the same rules.
TEST_F(RuleStoreTest, every_change_gives_the_rules_a_new_revision) {
  host.setRuleColumns("a\r\n", "x\r\n", "0\r\n");
  std::vector<uint64_t> revisions = {ruleStore().revision};
  loadRuleBase();
  revisions.push_back(ruleStore().revision);
  loadRuleBase();
  revisions.push_back(ruleStore().revision);
  appendRule("b", "y", kTypeWord);
  revisions.push_back(ruleStore().revision);
  removeRule(1);
  revisions.push_back(ruleStore().revision);
  removeRule(5);  // changes nothing
  EXPECT_EQ(ruleStore().revision, revisions.back());
  std::set<uint64_t> distinct(revisions.begin(), revisions.end());
  EXPECT_EQ(distinct.size(), revisions.size());
}

struct SaveCase {
  const char* name;
  std::vector<Rule> rules;  // appended in order; Type is read as a number
  std::string from;
  std::string to;
  std::string type;
};

const SaveCase kSaveCases[] = {
    {"empty store writes three empty texts", {}, "", "", ""},
    {"one rule with empty fields", {{"", "", "0"}}, "\r\n", "\r\n", "0\r\n"},
    {"every entry ends with a separator",
     {{"kot", "pies", "0"}, {"/a+/i", "b", "1"}, {"x", "y", "-5"}},
     "kot\r\n/a+/i\r\nx\r\n",
     "pies\r\nb\r\ny\r\n",
     "0\r\n1\r\n-5\r\n"},
    {"lone CR, lone LF, slash, dollar, backslash and Polish letters stored as they are",
     {{"a\rb", "c\nd", "1"}, {"/(\\w)$/", "$1\\$&", "1"}, {"\xb3\xf3", "\xea", "0"}},
     "a\rb\r\n/(\\w)$/\r\n\xb3\xf3\r\n",
     "c\nd\r\n$1\\$&\r\n\xea\r\n",
     "1\r\n1\r\n0\r\n"},
    {"CR at the end of an entry stays before the separator",
     {{"a\r", "\n", "0"}},
     "a\r\r\n",
     "\n\r\n",
     "0\r\n"},
    {"CR LF inside an entry is stored as LF",
     {{"a\r\nb", "x\r\n\r\ny", "0"}, {"c", "z", "1"}},
     "a\nb\r\nc\r\n",
     "x\n\ny\r\nz\r\n",
     "0\r\n1\r\n"},
    {"CRs running into an LF collapse to the LF",
     {{"\r\r\n", "\r\r\r\n\n", "0"}, {"\r\n", "a\r\n", "1"}},
     "\n\r\n\n\r\n",
     "\n\n\r\na\n\r\n",
     "0\r\n1\r\n"},
};

TEST_F(RuleStoreTest, save_writes_each_entry_followed_by_a_separator) {
  for (const SaveCase& c : kSaveCases) {
    SCOPED_TRACE(c.name);
    host.setRuleColumns("", "", "");
    loadRuleBase();
    appendRules(c.rules);
    host.events.clear();
    saveRuleBase();
    EXPECT_EQ(host.textColumns[kColumnFrom], c.from);
    EXPECT_EQ(host.textColumns[kColumnTo], c.to);
    EXPECT_EQ(host.textColumns[kColumnType], c.type);
    // Saving leaves what the user typed in memory.
    EXPECT_EQ(storedRules(), c.rules);
  }
}

TEST_F(RuleStoreTest, save_writes_from_to_and_type_in_order_without_a_log_line) {
  appendRule("a", "x", kTypePerl);
  saveRuleBase();
  const std::vector<int> sequence = {kHostOpWriteConfig, kHostOpWriteConfig, kHostOpWriteConfig};
  EXPECT_EQ(host.operationSequence(), sequence);
  std::vector<int> columns;
  for (const HostEvent& write : host.eventsAt(kHostOpWriteConfig)) {
    EXPECT_EQ(write.valueType, kConfigText);
    columns.push_back(write.column);
  }
  EXPECT_EQ(columns, (std::vector<int>{kColumnFrom, kColumnTo, kColumnType}));
}

TEST_F(RuleStoreTest, three_rules_come_back_identical_after_save_and_load) {
  const std::vector<Rule> rules = {{"kot", "pies", "0"},
                                   {"/a(b+)/i", "[$1]", "1"},
                                   {"\xb3\xf3"
                                    "d\xbc",
                                    "statek", "0"}};
  appendRules(rules);
  saveRuleBase();
  host.events.clear();
  loadRuleBase();
  EXPECT_EQ(storedRules(), rules);
  EXPECT_EQ(host.logLines().back(), loadedLine(3));
}

TEST_F(RuleStoreTest, unknown_type_is_kept_and_saved_back) {
  host.setRuleColumns("a\r\nb\r\n", "x\r\ny\r\n", "2\r\nx\r\n");
  loadRuleBase();
  EXPECT_EQ(ruleTypeNumber(0), 2);
  EXPECT_EQ(ruleTypeNumber(1), 0);
  saveRuleBase();
  EXPECT_EQ(host.textColumns[kColumnType], "2\r\nx\r\n");
  EXPECT_EQ(ruleType(0), "2");
}

// Every text without CR LF survives a save and a load byte for byte as a From
// or a To, and the rules around it keep their own fields.
TEST_F(RuleStoreTest, storable_texts_survive_save_and_load_unchanged) {
  const std::string texts[] = {"",    "\r",           "\n",  "\r\r", "\n\n",   "\n\r",
                               "a\r", "\ra",          "\na", "a\n",  "/a+$/i", "$&$1",
                               "\\",  "\xb3\xf3\xea", " ",   "\t",   "=\x1a=", "\r\ra"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(::testing::PrintToString(text));
    host.setRuleColumns("", "", "");
    loadRuleBase();
    const std::vector<Rule> rules = {{"before", "B", "1"}, {text, text, "0"}, {"after", "A", "1"}};
    appendRules(rules);
    saveRuleBase();
    loadRuleBase();
    EXPECT_EQ(storedRules(), rules);
  }
}

struct CrLfCase {
  std::string typed;
  std::string stored;
};

const CrLfCase kCrLfCases[] = {
    {"\r\n", "\n"},           {"a\r\n", "a\n"},           {"a\r\nb", "a\nb"},
    {"\r\r\n", "\n"},         {"\r\r\r\n\n", "\n\n"},     {"\r\n\r\n", "\n\n"},
    {"x\r\n\r\ny", "x\n\ny"}, {"a\r\rb\r\n", "a\r\rb\n"}, {"\n\r\r\n\r", "\n\n\r"},
};

// A CR LF saved as it is would end its entry early and shift every later To
// and Type onto the wrong rule at the next start.
TEST_F(RuleStoreTest, crlf_in_a_field_keeps_the_rules_aligned_after_save_and_load) {
  for (const CrLfCase& c : kCrLfCases) {
    SCOPED_TRACE(::testing::PrintToString(c.typed));
    host.setRuleColumns("", "", "");
    loadRuleBase();
    appendRule("first", c.typed, kTypePerl);
    appendRule(c.typed, "second", kTypeWord);
    appendRule("third", "3", kTypePerl);
    saveRuleBase();
    loadRuleBase();
    const std::vector<Rule> expected = {
        {"first", c.stored, "1"}, {c.stored, "second", "0"}, {"third", "3", "1"}};
    EXPECT_EQ(storedRules(), expected);
  }
}

struct AppendTypeCase {
  int type;
  const char* text;
};

const AppendTypeCase kAppendTypes[] = {
    {INT_MIN, "-2147483648"}, {-10, "-10"}, {-1, "-1"}, {kTypeWord, "0"},
    {kTypePerl, "1"},         {2, "2"},     {10, "10"}, {INT_MAX, "2147483647"},
};

TEST_F(RuleStoreTest, append_stores_the_type_as_decimal_text) {
  for (const AppendTypeCase& c : kAppendTypes) {
    appendRule("f", "t", c.type);
    EXPECT_EQ(ruleType(ruleCount() - 1), c.text);
    EXPECT_EQ(ruleTypeNumber(ruleCount() - 1), c.type) << c.text;
  }
  EXPECT_EQ(storedRules().size(), std::size(kAppendTypes));
}

TEST_F(RuleStoreTest, append_adds_at_the_end_keeping_the_texts_as_typed) {
  host.setRuleColumns("a\r\n", "x\r\n", "1\r\n");
  loadRuleBase();
  appendRule("", "", kTypeWord);
  appendRule("b\r\nc", "$1 \\", kTypePerl);
  appendRule("a", "dup", kTypeWord);
  const std::vector<Rule> expected = {
      {"a", "x", "1"}, {"", "", "0"}, {"b\r\nc", "$1 \\", "1"}, {"a", "dup", "0"}};
  EXPECT_EQ(storedRules(), expected);
}

struct RemoveCase {
  const char* name;
  size_t index;
  std::vector<Rule> expected;
};

const std::vector<Rule> kThreeRules = {{"a", "x", "0"}, {"b", "y", "1"}, {"c", "z", "2"}};

const RemoveCase kRemoveCases[] = {
    {"index past the end changes nothing", 3, kThreeRules},
    {"largest index changes nothing", SIZE_MAX, kThreeRules},
    {"first rule", 0, {{"b", "y", "1"}, {"c", "z", "2"}}},
    {"middle rule", 1, {{"a", "x", "0"}, {"c", "z", "2"}}},
    {"last rule", 2, {{"a", "x", "0"}, {"b", "y", "1"}}},
};

TEST_F(RuleStoreTest, remove_takes_the_same_index_from_all_three_lists) {
  for (const RemoveCase& c : kRemoveCases) {
    SCOPED_TRACE(c.name);
    host.setRuleColumns("", "", "");
    loadRuleBase();
    appendRules(kThreeRules);
    removeRule(c.index);
    EXPECT_EQ(storedRules(), c.expected);
  }
}

TEST_F(RuleStoreTest, removing_every_rule_one_by_one_empties_the_store) {
  removeRule(0);  // on an empty store
  EXPECT_EQ(ruleCount(), 0u);
  appendRules(kThreeRules);
  while (ruleCount() > 0) removeRule(0);
  EXPECT_TRUE(storedRules().empty());
  saveRuleBase();
  EXPECT_EQ(host.textColumns[kColumnFrom], "");
  EXPECT_EQ(host.textColumns[kColumnTo], "");
  EXPECT_EQ(host.textColumns[kColumnType], "");
}

struct FailingChangeCase {
  const char* name;
  void (*change)();
  bool allocates;  // the change has steps at which memory can run out
};

const FailingChangeCase kFailingChanges[] = {
    // Texts too long to be held inside a string, so copying them allocates.
    {"append", [] { appendRule(std::string(40, 'f'), std::string(40, 't'), kTypePerl); }, true},
    {"remove the first rule", [] { removeRule(0); }, false},
    {"remove the last rule", [] { removeRule(1); }, false},
};

// Memory running out at any step of a change leaves the store as it was,
// three aligned lists: an append whose second list failed to grow used to
// leave From one rule longer, giving later rules their neighbour's fields.
TEST_F(RuleStoreTest, a_change_that_runs_out_of_memory_leaves_the_store_as_it_was) {
  for (const FailingChangeCase& c : kFailingChanges) {
    SCOPED_TRACE(c.name);
    for (long failAt = 0;; ++failAt) {
      host.setRuleColumns("", "", "");
      loadRuleBase();
      // Two appends fill each list to its capacity: the next append must
      // grow all three.
      appendRules({{"a", "x", "0"}, {"b", "y", "1"}});
      const std::vector<Rule> before = storedRules();
      const uint64_t revision = ruleStore().revision;
      bool failed = false;
      g_allocationsLeft = failAt;
      try {
        c.change();
      } catch (const std::bad_alloc&) {
        failed = true;
      }
      g_allocationsLeft = -1;
      if (!failed) {
        EXPECT_NE(storedRules(), before);
        EXPECT_EQ(failAt > 0, c.allocates);
        break;
      }
      EXPECT_EQ(storedRules(), before) << "allocation " << failAt << " failed";
      EXPECT_EQ(ruleStore().revision, revision);
    }
  }
}

TEST_F(RuleStoreTest, reading_past_the_last_rule_throws) {
  appendRule("a", "x", kTypeWord);
  EXPECT_THROW(ruleFrom(1), std::out_of_range);
  EXPECT_THROW(ruleTo(1), std::out_of_range);
  EXPECT_THROW(ruleType(1), std::out_of_range);
  EXPECT_THROW(ruleTypeNumber(1), std::out_of_range);
}

TEST(RuleStoreWithoutHost, load_empties_the_store_and_save_does_nothing) {
  setHostControl(nullptr);
  appendRule("a", "x", kTypeWord);
  saveRuleBase();
  loadRuleBase();
  EXPECT_EQ(ruleCount(), 0u);
  EXPECT_TRUE(ruleStore().To.empty());
  EXPECT_TRUE(ruleStore().Type.empty());
}

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> expected;
};

const SplitCase kSplitCases[] = {
    {"empty text has no entries", "", {}},
    {"separator alone is one empty entry", "\r\n", {""}},
    {"two separators are two empty entries", "\r\n\r\n", {"", ""}},
    {"text without separator is one entry", "a", {"a"}},
    {"one entry", "a\r\n", {"a"}},
    {"text after the last separator", "a\r\nb", {"a", "b"}},
    {"separator at the start", "\r\na\r\n", {"", "a"}},
    {"empty entry in the middle", "a\r\n\r\nb\r\n", {"a", "", "b"}},
    {"lone CR and LF are not separators", "a\rb\nc\r\n", {"a\rb\nc"}},
    {"LF then CR is not a separator", "a\n\rb\r\n", {"a\n\rb"}},
    {"CR before a separator stays in the entry", "a\r\r\n", {"a\r"}},
    {"LF after a separator starts the next entry", "a\r\n\nb\r\n", {"a", "\nb"}},
    {"lone CR after the last separator", "a\r\n\r", {"a", "\r"}},
};

TEST(SplitColumn, cuts_at_every_separator) {
  for (const SplitCase& c : kSplitCases) {
    EXPECT_EQ(splitColumn(c.text), c.expected) << c.name;
  }
}

struct NumberCase {
  std::string text;
  int expected;
};

const NumberCase kNumberCases[] = {
    // Texts that do not begin with a number.
    {"", 0},
    {"x", 0},
    {" ", 0},
    {"+", 0},
    {"-", 0},
    {"+-1", 0},
    {"- 1", 0},
    {"\xa0"
     "1",
     0},  // no-break space is not C white space
    {"\xb3", 0},
    // Numbers.
    {"0", 0},
    {"1", 1},
    {"2", 2},
    {"1x", 1},
    {"12 3", 12},
    {"0x1A", 0},
    {"007", 7},
    {" 1", 1},
    {"\t0", 0},
    {" \t\n\v\f\r7", 7},
    {"+1", 1},
    {"-1", -1},
    {"-0", 0},
    {"2147483647", INT_MAX},
    {"-2147483648", INT_MIN},
    {"2147483648", INT_MAX},
    {"-2147483649", INT_MIN},
    {"99999999999", INT_MAX},
    {"-99999999999", INT_MIN},
    {"99999999999999999999999999999999", INT_MAX},
    // 2^64 + 1: a reader that lets its accumulator wrap would see 1.
    {"18446744073709551617", INT_MAX},
    {"-18446744073709551617", INT_MIN},
    {"000000000000000000000000000000001", 1},
};

TEST(ReadTypeNumber, reads_a_type_text_as_atoi_does_saturating) {
  for (const NumberCase& c : kNumberCases) {
    EXPECT_EQ(readTypeNumber(c.text), c.expected) << ::testing::PrintToString(c.text);
  }
}

}  // namespace
