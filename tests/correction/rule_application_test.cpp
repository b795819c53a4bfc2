#include "correction/rule_application.h"

#include <gtest/gtest.h>

#include <string>

#include "correction/case_option.h"
#include "shell/element_ids.h"
#include "shell/host_services.h"
#include "tests/support/fake_host.h"

using namespace qmx;

namespace {

using qmxtest::FakeHost;

class RuleApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { setHostControl(host.hostControl()); }
  void TearDown() override { setHostControl(nullptr); }

  std::string word(std::string text, const std::string& from, const std::string& to) {
    applyWordRule(text, from, to, caseSensitiveOption);
    return text;
  }
  std::string perl(std::string text, const std::string& from, const std::string& to) {
    applyPerlRule(text, from, to);
    return text;
  }

  FakeHost host;
};

TEST(WordRulePatterns, kot_builds_the_three_passes_with_raw_cr_and_lf) {
  EXPECT_EQ(wordRulePattern(0, "kot", false), "/(([.,!?-]+| |\r|\n)kot([.,!?-]+| |\r|\n)|^kot$)/i");
  EXPECT_EQ(wordRulePattern(1, "kot", false), "/(^kot([.,!?-]+| |\r|\n))/i");
  EXPECT_EQ(wordRulePattern(2, "kot", false), "/(([.,!?-]+| |\r|\n)kot$)/i");
  EXPECT_EQ(wordRulePattern(2, "kot", true), "/(([.,!?-]+| |\r|\n)kot$)/");
  EXPECT_EQ(wordRuleTemplate(0, "pies"), "$2pies$3");
  EXPECT_EQ(wordRuleTemplate(1, "pies"), "pies$2");
  EXPECT_EQ(wordRuleTemplate(2, "pies"), "$2pies");
}

struct WordCase {
  const char* text;
  const char* expected;
  const char* why;
};

// From «kot», To «pies», case option off.
const WordCase kKotToPies[] = {
    {"", "", "an empty text stays empty"},
    {"kot", "pies", "the whole text"},
    {"Kot", "pies", "A-Z fold without the case option"},
    {"KOT", "pies", "A-Z fold without the case option"},
    {"kot, ma", "pies, ma", "at the start"},
    {"to kot", "to pies", "at the end"},
    {"a kot b", "a pies b", "between separators"},
    {"kotek", "kotek", "part of a longer word"},
    {"m\xf3j kotek", "m\xf3j kotek", "part of a longer word after a separator"},
    {"a kot kot b", "a pies kot b", "the space between is consumed by the first match"},
    {"a kot kot kot b", "a pies kot pies b", "every other word between separators"},
    {"kot kot", "pies pies", "passes 2 and 3 take the ends"},
    {"kot kot kot", "pies pies pies", "passes 2 and 3 take the ends"},
    {"kot...ale", "pies...ale", "a run of full stops is one separator"},
    {"ale,-!?kot", "ale,-!?pies", "a run of mixed separators"},
    {"kot;", "kot;", "a semicolon is no separator"},
    {"kot\tb", "kot\tb", "a tab is no separator"},
    {"kot\n", "pies\n", "$ matches before a final line feed"},
    {"a\nkot", "a\npies", "a line feed precedes a word"},
    {"a\r\nkot\r\nb", "a\r\npies\r\nb", "carriage return and line feed are separators"},
};

TEST_F(RuleApplicationTest, word_rule_replaces_whole_words_only) {
  for (const WordCase& c : kKotToPies) {
    EXPECT_EQ(word(c.text, "kot", "pies"), c.expected) << c.why << ": «" << c.text << "»";
  }
}

TEST_F(RuleApplicationTest, word_rule_reads_the_case_option_once_per_pass) {
  host.intColumns[kColumnCaseSensitive] = 0;
  word("a kot b", "kot", "pies");
  const auto reads = host.eventsAt(kHostOpReadConfig);
  ASSERT_EQ(reads.size(), 3u);
  for (const auto& read : reads) EXPECT_EQ(read.column, kColumnCaseSensitive);
}

TEST_F(RuleApplicationTest, case_option_on_matches_letter_case_exactly) {
  host.intColumns[kColumnCaseSensitive] = 1;
  EXPECT_EQ(word("Kot", "kot", "pies"), "Kot");
  EXPECT_EQ(word("kot", "kot", "pies"), "pies");
  host.intColumns[kColumnCaseSensitive] = -5;  // any non-zero value
  EXPECT_EQ(word("a KOT b", "kot", "pies"), "a KOT b");
}

TEST_F(RuleApplicationTest, polish_letters_never_fold) {
  // «żaba» and «Żaba» in Windows-1250: 0xBF and 0xAF.
  EXPECT_EQ(word("\xaf"
                 "aba",
                 "\xbf"
                 "aba",
                 "x"),
            "\xaf"
            "aba");
  EXPECT_EQ(word("\xbf"
                 "aba",
                 "\xbf"
                 "aba",
                 "x"),
            "x");
  // A Polish letter is no separator either.
  EXPECT_EQ(word("\xb9kot", "kot", "x"), "\xb9kot");
}

TEST_F(RuleApplicationTest, from_and_to_are_pattern_and_template_text) {
  EXPECT_EQ(word("kit i kat", "k.t", "X"), "X i X");
  EXPECT_EQ(word("a kot b", "kot", "$1"), "a  kot  b") << "$1 is the whole match of group 1";
  EXPECT_EQ(word("a kot b", "kot", "5x"), "a 5x b") << "a digit after $2 is text";
  // Capturing parentheses in From shift the group numbers.
  EXPECT_EQ(word("a kot b", "(k)ot", "X"), "a Xkb");
}

TEST_F(RuleApplicationTest, from_that_breaks_a_pass_changes_nothing) {
  EXPECT_EQ(word("a kot( b", "kot(", "X"), "a kot( b");
  EXPECT_EQ(word("kot(", "kot(", "X"), "kot(");
}

TEST_F(RuleApplicationTest, slash_in_from_does_not_disturb_the_flags) {
  EXPECT_EQ(word("a I/O b", "i/o", "we-wy"), "a we-wy b");
}

TEST_F(RuleApplicationTest, empty_from_fills_empty_places_and_finishes) {
  EXPECT_EQ(word("", "", "T"), "T");
  EXPECT_EQ(word("a", "", "T"), "a");
  EXPECT_EQ(word("a  b", "", "T"), "a T b");
  EXPECT_EQ(word(" a", "", "T"), "T a");
  EXPECT_EQ(word("a ", "", "T"), "a T");
}

TEST_F(RuleApplicationTest, perl_rule_replaces_every_match) {
  EXPECT_EQ(perl("ABC ac", "/a(b)?c/i", "x$1y"), "xBy xy");
  EXPECT_EQ(perl("foo", "/o/", "0"), "f00");
  EXPECT_EQ(perl("abc", "/(/", "X"), "abc") << "a broken pattern changes nothing";
  EXPECT_EQ(perl("abc", "/b/8", "X"), "abc") << "UTF-8 is refused";
  EXPECT_TRUE(host.events.empty()) << "a Perl rule never asks the host";
}

TEST_F(RuleApplicationTest, perl_rule_that_matches_empty_finishes) {
  EXPECT_EQ(perl("abc", "/x*/", "-"), "-a-b-c-");
  EXPECT_EQ(perl("ab", "kot", "-"), "-a-b-") << "no closing delimiter: the empty expression";
  EXPECT_EQ(perl("ab", "/$/", "!"), "ab!");
}

}  // namespace
