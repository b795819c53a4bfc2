// Input a stranger or a careless rule base can send, through the whole entry
// point of Quillmax.so: huge and odd messages, patterns that backtrack
// without end, ext texts of nothing but separators, thousands of rules,
// enormous rule texts. The plug-in runs inside the messenger: whatever comes
// in, it must not crash, overflow the stack or hang, and the rules it can
// apply must still apply.
//
// Time bounds here are hang guards, far above what any build needs; speed is
// measured by the benchmarks.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "correction/ext_params.h"
#include "regex/template_expansion.h"
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

constexpr double kHangGuardSeconds = 60;

constexpr size_t kMegabyte = 1024 * 1024;
constexpr size_t k256Kilobytes = 256 * 1024;

// A thread of the messenger on Windows gets a 1 MB stack. Match recursion
// lives on the heap, so even the deepest match needs only a little of it;
// were it on the stack, 256 KB of one letter against «(a|aa)*b» would need
// hundreds of megabytes of it.
constexpr size_t kMessengerStack = 1024 * 1024;

std::string everyByte() {
  std::string bytes;
  for (int b = 1; b <= 255; ++b) bytes += static_cast<char>(b);
  return bytes;
}

std::string repeatToSize(const std::string& piece, size_t size) {
  std::string text;
  while (text.size() < size) text += piece;
  text.resize(size);
  return text;
}

struct Copy {
  std::string body;
  std::string ext;
};

struct Rule {
  std::string from;
  std::string to;
  int type;
};

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(plugin.loaded());
    host.onHostCall = [this](const IMessageArgs& record) -> intptr_t {
      if (record.id != HOST_SEND_MESSAGE) return 0;
      const auto* copy = reinterpret_cast<const ChatMessage*>(record.p1);
      copies.push_back(
          {reinterpret_cast<const char*>(copy->body), reinterpret_cast<const char*>(copy->ext)});
      return static_cast<intptr_t>(copies.size());
    };
    ASSERT_EQ(plugin.call(CALL_INIT, host.address()), 1);
  }
  void TearDown() override { plugin.call(CALL_DEINIT); }

  // Stores `rules` in the host's columns and loads them with CALL_START.
  void loadRules(const std::vector<Rule>& rules) {
    std::string from, to, type;
    for (const Rule& rule : rules) {
      from += rule.from + "\r\n";
      to += rule.to + "\r\n";
      type += std::to_string(rule.type) + "\r\n";
    }
    host.setRuleColumns(from, to, type);
    ASSERT_EQ(plugin.call(CALL_START), 1);
  }

  struct Sent {
    intptr_t answer = -1;
    double seconds = 0;
    bool ran = false;
  };

  // Sends the message from a thread with the messenger's stack size and
  // times it; the record stays the caller's.
  Sent send(const std::string& body, const std::string& ext, uint32_t flags,
            ChatMessage* record = nullptr) {
    ChatMessage local{};
    ChatMessage& message = record ? *record : local;
    message = qmxtest::chatMessage(body, ext, flags);
    Call call{&plugin, &message, {}};

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kMessengerStack);
    pthread_t thread;
    const auto start = std::chrono::steady_clock::now();
    if (pthread_create(&thread, &attributes, &Call::run, &call) == 0) {
      pthread_join(thread, nullptr);
      call.sent.ran = true;
    }
    pthread_attr_destroy(&attributes);
    call.sent.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return call.sent;
  }

  PluginLibrary plugin;
  FakeHost host;
  std::vector<Copy> copies;

 private:
  struct Call {
    PluginLibrary* plugin;
    ChatMessage* message;
    Sent sent;
    static void* run(void* self) {
      auto* call = static_cast<Call*>(self);
      call->sent.answer =
          call->plugin->call(CALL_MESSAGE, reinterpret_cast<intptr_t>(call->message));
      return nullptr;
    }
  };
};

// Patterns that backtrack exponentially (or recurse once per byte) on long
// runs of one letter or on text without the byte they end in. Such text
// lacks what they need, so the rule loop passes them over; the test below
// makes them run.
const std::vector<Rule> kCatastrophicThenOrdinary = {
    {"/(a|aa)*b/", "X", 1}, {"/(a+)+b/", "X", 1}, {"/(.*)*x/s", "Y", 1},
    {"kot", "pies", 0},     {"/^a/", "B", 1},     {"/a$/", "Z", 1},
};

TEST_F(HostileInput, catastrophic_patterns_give_up_and_the_later_rules_still_apply) {
  loadRules(kCatastrophicThenOrdinary);
  host.intColumns[kColumnIncoming] = 1;

  const std::string letters(k256Kilobytes, 'a');
  // Chat text with single letters "a" and neither "b" nor "x", ending in "a".
  const std::string chat = "kot " + repeatToSize("ala ma psa i lisa, ", kMegabyte - 5) + "a";
  struct Case {
    const char* name;
    std::string body;
    std::string expected;
  };
  const Case cases[] = {
      {"256 KB of one letter", letters, "B" + std::string(k256Kilobytes - 2, 'a') + "Z"},
      {"1 MB of chat", chat, "pies" + chat.substr(3, chat.size() - 4) + "Z"},
  };
  for (const Case& c : cases) {
    copies.clear();
    const Sent sent = send(c.body, "", 0);
    ASSERT_TRUE(sent.ran) << c.name;
    EXPECT_EQ(sent.answer, 2) << c.name;
    EXPECT_LT(sent.seconds, kHangGuardSeconds) << c.name;
    ASSERT_EQ(copies.size(), 1u) << c.name;
    // Whole-text comparison without printing a megabyte on failure.
    EXPECT_TRUE(copies[0].body == c.expected)
        << c.name << ": got " << copies[0].body.size() << " bytes beginning "
        << copies[0].body.substr(0, 16) << ", ending "
        << copies[0].body.substr(copies[0].body.size() < 16 ? 0 : copies[0].body.size() - 16);
  }
}

// PCRE's match limit counts the steps from one start position only. Words
// just short enough to stay under it at each position (2^20 steps for
// «(a+)+b» over 20 letters) made the search try every position in turn:
// about 28 s for 10 KB, most of an hour for 256 KB. The plug-in bounds the
// steps of a whole search, so the rule ends where it stood, within the
// guard, and the later rules still apply. The message ends in «ab», which
// both patterns need: without it the rule loop would pass them over.
TEST_F(HostileInput, backtracking_below_the_match_limit_at_every_position_ends) {
  loadRules({{"/(a+)+b/", "X", 1}, {"/(a|aa)*b/", "X", 1}, {"kot", "pies", 0}});
  host.intColumns[kColumnIncoming] = 1;
  struct Case {
    const char* name;
    std::string word;
  };
  const Case cases[] = {
      {"words of 20 letters", std::string(20, 'a') + " "},
      {"words of 28 letters", std::string(28, 'a') + " "},
  };
  for (const Case& c : cases) {
    copies.clear();
    const std::string words = repeatToSize(c.word, k256Kilobytes) + "ab";
    const Sent sent = send("kot " + words, "", 0);
    ASSERT_TRUE(sent.ran) << c.name;
    EXPECT_EQ(sent.answer, 2) << c.name;
    EXPECT_LT(sent.seconds, kHangGuardSeconds) << c.name;
    ASSERT_EQ(copies.size(), 1u) << c.name;
    EXPECT_TRUE(copies[0].body == "pies " + words) << c.name;
  }
}

TEST_F(HostileInput, every_byte_value_in_body_ext_and_rules) {
  const std::string bytes = everyByte();
  std::string perlBody = bytes;
  perlBody.erase(perlBody.find('/'), 1);
  loadRules({
      // Neither compiles: both hold a "[" that is never closed. They change
      // nothing, and the rules after them run.
      {bytes, "never", 0},
      {"/" + perlBody + "/", "never", 1},
      // A template of every byte: "$%" is no group reference, so it is
      // inserted exactly as it stands.
      {"kot", bytes, 0},
      {"/[\\x01-\\x08]/", "", 1},
  });

  std::string withoutLowBytes = bytes.substr(8);
  const Sent sent = send(bytes + " kot", bytes, kMsgOutgoing);
  ASSERT_TRUE(sent.ran);
  EXPECT_EQ(sent.answer, 2);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].body, withoutLowBytes + " " + withoutLowBytes);
  EXPECT_EQ(copies[0].ext, bytes + "\x1aquillmax=1");

  // The copy comes back marked and is left alone.
  EXPECT_EQ(send(copies[0].body, copies[0].ext, kMsgOutgoing).answer, 0);
  EXPECT_EQ(copies.size(), 1u);
}

TEST_F(HostileInput, ext_texts_full_of_separators) {
  loadRules({{"kot", "pies", 0}});
  const std::string separators(64 * 1024, EXT_SEPARATOR);
  struct Case {
    const char* name;
    std::string ext;
    bool corrected;
    std::string copyExt;
  };
  const Case cases[] = {
      {"only separators", separators, true, separators + "\x1aquillmax=1"},
      {"the mark after them", separators + "quillmax=1", false, ""},
      {"another value between them", separators + "quillmax=0" + separators, true,
       separators + "quillmax=1" + separators},
      {"a separator right after the mark", separators + "quillmax=1" + separators, false, ""},
  };
  for (const Case& c : cases) {
    copies.clear();
    ChatMessage record{};
    const Sent sent = send("a kot", c.ext, kMsgOutgoing | kMsgFlag80, &record);
    ASSERT_TRUE(sent.ran) << c.name;
    if (c.corrected) {
      EXPECT_EQ(sent.answer, 2) << c.name;
      ASSERT_EQ(copies.size(), 1u) << c.name;
      EXPECT_EQ(copies[0].body, "a pies") << c.name;
      EXPECT_TRUE(copies[0].ext == c.copyExt) << c.name;
    } else {
      EXPECT_EQ(sent.answer, 0) << c.name;
      EXPECT_TRUE(copies.empty()) << c.name;
      EXPECT_EQ(+record.flags, kMsgOutgoing | kMsgFlag80) << c.name << ": left untouched";
    }
  }
}

TEST_F(HostileInput, ten_thousand_rules_load_apply_and_save_back) {
  // Nine word rules "sN" -> "tN" to one Perl rule "/pNx/" -> "PN".
  std::vector<Rule> rules;
  for (int i = 0; i < 10000; ++i) {
    const std::string n = std::to_string(i);
    if (i % 10 == 9) {
      rules.push_back({"/p" + n + "x/", "P" + n, 1});
    } else {
      rules.push_back({"s" + n, "t" + n, 0});
    }
  }
  loadRules(rules);
  const std::vector<std::string> lines = host.logLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(),
            "Baza za\xb3"
            "adowana 10000 wpis\xf3w");
  const std::string from = host.textColumns[kColumnFrom];
  const std::string to = host.textColumns[kColumnTo];
  const std::string type = host.textColumns[kColumnType];

  // "s1" is a whole word only where it stands alone: not inside "s10".
  const Sent sent = send("s0 p9x s1, s9998 s10 p9999x", "", kMsgOutgoing);
  ASSERT_TRUE(sent.ran);
  EXPECT_EQ(sent.answer, 2);
  EXPECT_LT(sent.seconds, kHangGuardSeconds);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].body, "t0 P9 t1, t9998 t10 P9999");

  host.textColumns.clear();
  ASSERT_EQ(plugin.call(CALL_END), 1);
  EXPECT_TRUE(host.textColumns[kColumnFrom] == from);
  EXPECT_TRUE(host.textColumns[kColumnTo] == to);
  EXPECT_TRUE(host.textColumns[kColumnType] == type);
}

TEST_F(HostileInput, rule_texts_of_100_kilobytes) {
  const std::string longWord = repeatToSize("kotek", 100 * 1024);
  const std::string otherWord = repeatToSize("piesek", 100 * 1024);
  const std::string longTemplate = repeatToSize("mysz ", 100 * 1024);
  loadRules({
      // Patterns this long compile and replace like short ones: the word
      // rule takes the first copy, a whole word, and the Perl rule the
      // second, which a letter follows.
      {longWord, "W", 0},
      {"/" + longWord + "/", "P", 1},
      // Not in the text at all.
      {otherWord, "never", 0},
      // A short word whose replacement is long.
      {"kot", longTemplate, 0},
      {"y", "z", 0},
  });
  const std::string body = "kot " + longWord + " y " + longWord + "x";
  const Sent sent = send(body, "", kMsgOutgoing);
  ASSERT_TRUE(sent.ran);
  EXPECT_EQ(sent.answer, 2);
  EXPECT_LT(sent.seconds, kHangGuardSeconds);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_TRUE(copies[0].body == longTemplate + " W z Px") << copies[0].body.size() << " bytes";

  // The long texts are written back whole.
  const std::string from = host.textColumns[kColumnFrom];
  const std::string to = host.textColumns[kColumnTo];
  host.textColumns.clear();
  ASSERT_EQ(plugin.call(CALL_END), 1);
  EXPECT_TRUE(host.textColumns[kColumnFrom] == from);
  EXPECT_TRUE(host.textColumns[kColumnTo] == to);
}

// Work no step counter saw, or saw only search by search, held the
// messenger's thread for minutes or for ever. Each rule alone, on its own
// message; every one must finish within the guard with the text it gives
// (the rest of the text as it stood where a rule ran out of steps).
struct BoundedCase {
  const char* name;
  Rule rule;
  std::string body;
  std::string expected;  // empty: the body, unchanged
};

TEST_F(HostileInput, every_rule_finishes_on_every_message) {
  const std::string dots(320000, '.');
  const std::string megabyteOfDots(kMegabyte, '.');
  const std::string words = repeatToSize(std::string(20, 'a') + " ", 4200);
  const std::string megabyteOfAs(kMegabyte, 'a');
  const std::string runsBrokenNearTheEnd =
      repeatToSize(std::string(65534, 'a') + "b", k256Kilobytes);
  const BoundedCase cases[] = {
      // \K in a lookaround reported a match starting after its end, or
      // before where the search began, and the substitution looped for
      // ever.
      {"keep-out in a lookahead", {"/(?=a\\K)/", "x", 1}, "a", ""},
      {"keep-out in a lookbehind", {"/(?<=\\K.)/", "x", 1}, "ab", "xb"},
      // Just below PCRE's match limit at every position: one search per
      // character, each within its own bound, took most of a minute.
      {"backtracking at every position", {"/(a+)+b|./", "x", 1}, words, ""},
      // A run of separators: at every start inside it PCRE scanned the rest
      // of the run again, with no step counted.
      {"word rule over separators",
       {"dzi.ki", "X", 0},
       "dzieki" + dots + "dzieki",
       "X" + dots + "X"},
      // A From with a class or a group tried every start inside the run,
      // and the three passes ran out of steps before they reached the word.
      {"word rule with a class over separators",
       {"k[o\xf3]t", "PIES", 0},
       dots + "k\xf3t a",
       dots + "PIES a"},
      {"word rule with a group over separators",
       {"(?:kot|pies)", "PIES", 0},
       dots + "kot a",
       dots + "PIES a"},
      {"possessive run before a letter", {"/[.]+x/", "X", 1}, megabyteOfDots, ""},
      {"written possessive", {"/[.]++x/", "X", 1}, megabyteOfDots, ""},
      // Each subroutine call walks every call still open: steps grew slower
      // the deeper the recursion, and 5,000 letters took a minute and a half.
      {"nested subroutine calls", {"/(a(?1)?)x/", "X", 1}, std::string(5000, 'a'), ""},
      {"two calls a level", {"/.+(?R)(?R)/s", "X", 1}, std::string(1000, 'a'), ""},
      // Work that failed without moving forward, which no callout saw: a
      // back reference compared to the text's end at every backtrack, a
      // long counted repeat failed near its end at every start. Minutes on
      // a megabyte at a hundredth of the budget.
      {"caseless back reference to the end",
       {"/(?=(.*)).*\\1/i", "X", 1},
       std::string(k256Kilobytes, 'a'),
       ""},
      {"back reference into a longer run",
       {"/(?=(a*b)).*\\1/", "X", 1},
       std::string(50000, 'a') + "b" + std::string(50000, 'a'),
       ""},
      {"long repeat failing near its end", {"/[ac]{65535}/", "X", 1}, runsBrokenNearTheEnd, ""},
      {"ten long repeats in alternation",
       {"/(?:" + repeatToSize("[ac]{65535}|", 12 * 10 - 1) + ")/", "X", 1},
       runsBrokenNearTheEnd.substr(0, 64 * 1024),
       ""},
      {"word rule with a back reference", {"a(?=(.*)).*\\3", "X", 0}, " " + megabyteOfAs, ""},
      // A template of many "$0": each one-byte match wrote ten kilobytes.
      {"template that multiplies the text", {"/./s", repeatToSize("$0", 20000), 1}, words, ""},
      // The literals every match needs were worked out whole: gigabytes and
      // seconds at every message, and then no message was corrected.
      {"required literals of huge counts", {"/(?:a{65535}){65535}/", "X", 1}, "kot", ""},
  };
  host.intColumns[kColumnIncoming] = 1;
  for (const BoundedCase& c : cases) {
    SCOPED_TRACE(c.name);
    loadRules({c.rule});
    copies.clear();
    const Sent sent = send(c.body, "", 0);
    ASSERT_TRUE(sent.ran);
    EXPECT_LT(sent.seconds, kHangGuardSeconds);
    ASSERT_EQ(copies.size(), 1u);
    const std::string& got = copies[0].body;
    if (!c.expected.empty()) {
      EXPECT_TRUE(got == c.expected) << got.size() << " bytes";
    } else if (got != c.body) {
      // Replaced up to where the steps or the room for replacements ran
      // out, as it stood after.
      const std::string tail = c.body.substr(c.body.size() / 2);
      EXPECT_TRUE(got.size() >= tail.size() &&
                  got.compare(got.size() - tail.size(), tail.size(), tail) == 0);
      EXPECT_LE(got.size(), std::max(c.body.size(), kLongestResult));
    }
  }
}

}  // namespace
