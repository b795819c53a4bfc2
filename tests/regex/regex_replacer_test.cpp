#include "regex/regex_replacer.h"

#include <gtest/gtest.h>
#include <pcre.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

using namespace qmx;

namespace {

using namespace std::string_literals;

static_assert(!std::is_copy_constructible_v<RegexReplacer> &&
                  !std::is_copy_assignable_v<RegexReplacer>,
              "a copy would release the compiled patterns twice");

// Trace text for a case: control bytes and bytes above 127 as \xNN, so a
// failing Windows-1250 case reads the same on every terminal.
std::string show(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 32 || c >= 127) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string substituteOnce(const std::string& pattern, const std::string& replacement,
                           const std::string& subject, int32_t limit = 0) {
  RegexReplacer replacer;
  return replacer.substitute(pattern, replacement, subject, limit);
}

struct SubstituteCase {
  std::string pattern;
  std::string replacement;
  std::string subject;
  int32_t limit;
  std::string expected;
};

void expectSubstitutions(const std::vector<SubstituteCase>& cases) {
  for (const SubstituteCase& c : cases) {
    SCOPED_TRACE("pattern \"" + show(c.pattern) + "\" template \"" + show(c.replacement) +
                 "\" subject \"" + show(c.subject) + "\" limit " + std::to_string(c.limit));
    EXPECT_EQ(show(substituteOnce(c.pattern, c.replacement, c.subject, c.limit)), show(c.expected));
  }
}

// ---------------------------------------------------------------- parsing

struct ParseCase {
  std::string text;
  std::string expression;
  uint32_t options;
};

TEST(RegexReplacerParse, splits_pattern_into_expression_and_letters_after_last_delimiter) {
  const std::vector<ParseCase> cases = {
      {"", "", 0},
      {"/", "", 0},
      {"//", "", 0},
      {"///", "/", 0},
      // A first byte that never recurs: nothing is expression, and the rest
      // is read as letters ("o" and "t" are none).
      {"kot", "", 0},
      {"/kot", "", 0},
      {"kit", "", PCRE_CASELESS},
      {"/i", "", PCRE_CASELESS},
      {"/a/", "a", 0},
      {"/a/b/i", "a/b", PCRE_CASELESS},
      {"/kot/gi", "kot", PCRE_CASELESS},
      {"/kot/g", "kot", 0},
      {"#x#m", "x", PCRE_MULTILINE},
      {"axa", "x", 0},
      {"/a/I", "a", 0},
      {"/a/ii", "a", PCRE_CASELESS},
      {"/a/ i-!\xE9", "a", PCRE_CASELESS},
      {"/a/Ui", "a", PCRE_UNGREEDY | PCRE_CASELESS},
      {"/a\\/b/", "a\\/b", 0},
      {"/a/i/m", "a/i", PCRE_MULTILINE},
      {"\xB9"
       "a\xB9"
       "i",
       "a", PCRE_CASELESS},
      {"/(( )kot( )|^kot$)/i", "(( )kot( )|^kot$)", PCRE_CASELESS},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE("pattern \"" + show(c.text) + "\"");
    RegexReplacer replacer;
    replacer.setPattern(c.text);
    EXPECT_EQ(show(replacer.expression()), show(c.expression));
    EXPECT_EQ(replacer.options(), c.options);
  }
}

TEST(RegexReplacerParse, each_letter_sets_its_own_option_and_nothing_else) {
  struct LetterCase {
    char letter;
    uint32_t option;
  };
  const std::vector<LetterCase> cases = {
      {'i', 0x001}, {'m', 0x002}, {'s', 0x004}, {'x', 0x008}, {'A', 0x010}, {'D', 0x020},
      {'X', 0x040}, {'B', 0x080}, {'N', 0x100}, {'U', 0x200}, {'E', 0x400}, {'8', 0x800},
  };
  uint32_t all = 0;
  std::string allLetters;
  for (const LetterCase& c : cases) {
    SCOPED_TRACE(std::string("letter ") + c.letter);
    RegexReplacer replacer;
    replacer.setPattern("/a/"s + c.letter);
    EXPECT_EQ(replacer.options(), c.option);
    all |= c.option;
    allLetters += c.letter;
  }
  RegexReplacer replacer;
  replacer.setPattern("/a/" + allLetters);
  EXPECT_EQ(replacer.options(), all);
  // Letters are case-sensitive: the other case of each letter is no letter.
  replacer.setPattern("/a/IMSadbnue");
  EXPECT_EQ(replacer.options(), 0u);
}

TEST(RegexReplacerParse, new_pattern_forgets_previous_expression_and_options) {
  RegexReplacer replacer;
  replacer.setPattern("/kot/imsU");
  replacer.setPattern("/pies/");
  EXPECT_EQ(replacer.expression(), "pies");
  EXPECT_EQ(replacer.options(), 0u);
  replacer.setPattern("");
  EXPECT_EQ(replacer.expression(), "");
  EXPECT_EQ(replacer.options(), 0u);
}

// -------------------------------------------------------------- cache key

TEST(RegexReplacerCacheKey, key_is_expression_slash_and_byte_of_low_seven_option_bits) {
  struct KeyCase {
    std::string pattern;
    std::string key;
  };
  const std::vector<KeyCase> cases = {
      {"", "/A"},
      {"kot", "/A"},
      {"/a/", "a/A"},
      {"/a/i", "a/B"},
      // Ungreedy lies above the seventh bit: the byte stays 66.
      {"/a/Ui", "a/\x42"},
      {"/a/A", "a/Q"},
      {"/a/b/x", "a/b/I"},
      {"/a/imsxADX", "a/\xC0"},
      {"/a/BNUE8", "a/A"},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE("pattern \"" + show(c.pattern) + "\"");
    RegexReplacer replacer;
    replacer.setPattern(c.pattern);
    EXPECT_EQ(show(replacer.cacheKey()), show(c.key));
  }
}

// ------------------------------------------------------------------ cache

// Swaps PCRE's allocation hooks for counting ones. A compiled pattern is
// one pcre_malloc block, so the counts show compilations and releases
// from outside the object.
class RegexReplacerCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedMalloc_ = pcre_malloc;
    savedFree_ = pcre_free;
    mallocs = 0;
    frees = 0;
    pcre_malloc = &countingMalloc;
    pcre_free = &countingFree;
  }
  void TearDown() override {
    pcre_malloc = savedMalloc_;
    pcre_free = savedFree_;
  }

  static void* countingMalloc(size_t size) {
    ++mallocs;
    return std::malloc(size);
  }
  static void countingFree(void* block) {
    if (block) ++frees;
    std::free(block);
  }

  static int mallocs;
  static int frees;

 private:
  void* (*savedMalloc_)(size_t) = nullptr;
  void (*savedFree_)(void*) = nullptr;
};

int RegexReplacerCacheTest::mallocs = 0;
int RegexReplacerCacheTest::frees = 0;

TEST_F(RegexReplacerCacheTest, pattern_used_again_reuses_its_first_compilation) {
  RegexReplacer replacer;
  EXPECT_EQ(replacer.substitute("/a/", "X", "aA", 0), "XA");
  EXPECT_EQ(mallocs, 1);
  EXPECT_EQ(replacer.substitute("/a/i", "X", "aA", 0), "XX");
  EXPECT_EQ(mallocs, 2);
  EXPECT_EQ(replacer.substitute("/a/", "X", "aA", 0), "XA");
  EXPECT_EQ(mallocs, 2);
  EXPECT_EQ(replacer.cacheSize(), 2u);
  EXPECT_EQ(frees, 0);
}

TEST_F(RegexReplacerCacheTest, one_substitution_compiles_once_for_many_matches) {
  RegexReplacer replacer;
  EXPECT_EQ(replacer.substitute("/a/", "X", "abababa", 0), "XbXbXbX");
  EXPECT_EQ(mallocs, 1);
  EXPECT_EQ(replacer.substitute("/x*/", "-", "abc", 0), "-a-b-c-");
  EXPECT_EQ(mallocs, 2);
  EXPECT_EQ(replacer.cacheSize(), 2u);
}

TEST_F(RegexReplacerCacheTest, destruction_releases_every_compiled_pattern) {
  {
    RegexReplacer replacer;
    replacer.substitute("/a/", "X", "a", 0);
    replacer.substitute("/b/", "X", "b", 0);
    replacer.substitute("/a/", "X", "a", 0);
    replacer.substitute("/(/", "X", "a", 0);
    EXPECT_EQ(frees, 0);
  }
  EXPECT_EQ(mallocs, 2);
  EXPECT_EQ(frees, 2);
}

TEST_F(RegexReplacerCacheTest, refused_pattern_is_kept_with_its_reason) {
  RegexReplacer replacer;
  EXPECT_EQ(replacer.substitute("/(/", "X", "(", 0), "(");
  ASSERT_NE(replacer.lastErrorText(), nullptr);
  EXPECT_EQ(replacer.substitute("/a/", "X", "a", 0), "X");
  EXPECT_EQ(replacer.lastErrorText(), nullptr);
  // The kept refusal gives its reason again, without compiling anew.
  EXPECT_EQ(replacer.substitute("/(/", "X", "(", 0), "(");
  ASSERT_NE(replacer.lastErrorText(), nullptr);
  EXPECT_STREQ(replacer.lastErrorText(), "missing )");
  EXPECT_EQ(replacer.lastErrorOffset(), 1);
  EXPECT_EQ(replacer.cacheSize(), 2u);
  EXPECT_EQ(mallocs, 1);
}

// Fault: the cache key's option byte holds only bits below 128, so on one
// object «/a+/» and «/a+/U» had the same key and the ungreedy pattern was
// served the greedy compilation.
TEST_F(RegexReplacerCacheTest, ungreedy_key_fault_ungreedy_pattern_not_served_greedy_compilation) {
  RegexReplacer replacer;
  EXPECT_EQ(replacer.substitute("/a+/", "X", "aaa", 0), "X");
  EXPECT_EQ(replacer.substitute("/a+/U", "X", "aaa", 0), "XXX");
  EXPECT_EQ(replacer.substitute("/a+/", "X", "aaa", 0), "X");
  EXPECT_EQ(replacer.cacheSize(), 2u);
  EXPECT_EQ(mallocs, 2);
}

// Fault: for the same reason «/a/8» found the compilation of «/a/» in the
// cache and matched, although a UTF-8 pattern must never compile.
TEST_F(RegexReplacerCacheTest, utf8_key_fault_utf8_pattern_not_served_plain_compilation) {
  RegexReplacer replacer;
  EXPECT_EQ(replacer.substitute("/a/", "X", "a", 0), "X");
  EXPECT_EQ(replacer.substitute("/a/8", "X", "a", 0), "a");
  EXPECT_NE(replacer.lastErrorText(), nullptr);
  EXPECT_EQ(replacer.cacheSize(), 2u);
  EXPECT_EQ(replacer.substitute("/a/", "X", "a", 0), "X");
}

// Patterns kept beyond one replacer, as the rule loop keeps them from one
// message to the next: each key, every option bit in it, is compiled once
// for all the replacers that share it, a refusal too, and released with it.
TEST_F(RegexReplacerCacheTest, shared_patterns_compile_once_for_every_replacer) {
  {
    CompiledPatterns shared;
    for (int message = 0; message < 3; ++message) {
      RegexReplacer replacer(&shared);
      EXPECT_EQ(replacer.substitute("/a+/", "X", "aaa", 0), "X");
      EXPECT_EQ(replacer.substitute("/a+/U", "X", "aaa", 0), "XXX");
      EXPECT_EQ(replacer.substitute("/(/", "X", "(", 0), "(");
      EXPECT_STREQ(replacer.lastErrorText(), "missing )");
      EXPECT_EQ(replacer.cacheSize(), 0u);
    }
    EXPECT_EQ(shared.size(), 3u);
    EXPECT_EQ(mallocs, 2);
    EXPECT_EQ(frees, 0);
  }
  EXPECT_EQ(frees, 2);
}

// --------------------------------------------------------------- failures

TEST(RegexReplacerFailure, refused_pattern_leaves_text_and_keeps_pcre_reason) {
  struct FailureCase {
    std::string pattern;
    std::string errorText;
    int32_t errorOffset;
  };
  const std::vector<FailureCase> cases = {
      {"/(/", "missing )", 1},
      {"/a/8", "this version of PCRE is compiled without UTF support", 0},
      {"/ab)/", "unmatched parentheses", 2},
      // Unknown escapes are errors only with the "X" letter.
      {"/\\q/X", "unrecognized character follows \\", 1},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE("pattern \"" + show(c.pattern) + "\"");
    RegexReplacer replacer;
    EXPECT_EQ(replacer.substitute(c.pattern, "X", "abc(q)", 0), "abc(q)");
    ASSERT_NE(replacer.lastErrorText(), nullptr);
    EXPECT_EQ(std::string(replacer.lastErrorText()), c.errorText);
    EXPECT_EQ(replacer.lastErrorOffset(), c.errorOffset);
  }
}

TEST(RegexReplacerFailure, successful_compilation_clears_previous_error) {
  RegexReplacer replacer;
  replacer.substitute("/ab(/", "X", "abc", 0);
  ASSERT_NE(replacer.lastErrorText(), nullptr);
  EXPECT_EQ(replacer.lastErrorOffset(), 3);
  EXPECT_EQ(replacer.substitute("/b/", "X", "abc", 0), "aXc");
  EXPECT_EQ(replacer.lastErrorText(), nullptr);
  EXPECT_EQ(replacer.lastErrorOffset(), 0);

  // Also when the pattern comes from the cache.
  replacer.substitute("/ab(/", "X", "abc", 0);
  ASSERT_NE(replacer.lastErrorText(), nullptr);
  EXPECT_EQ(replacer.substitute("/b/", "X", "abc", 0), "aXc");
  EXPECT_EQ(replacer.lastErrorText(), nullptr);
  EXPECT_EQ(replacer.lastErrorOffset(), 0);
}

TEST(RegexReplacerFailure, search_with_refused_pattern_returns_zero_and_keeps_captures) {
  RegexReplacer replacer;
  replacer.setPattern("/(b)/");
  replacer.setSubject("abc");
  ASSERT_EQ(replacer.search(), 2);
  replacer.setPattern("/(/");
  EXPECT_EQ(replacer.search(), 0);
  EXPECT_EQ(replacer.captures(), (std::vector<std::string>{"b", "b"}));
}

// ----------------------------------------------------------- substitution

TEST(RegexReplacerSubstitute, replaces_matches_from_the_left_without_overlap) {
  expectSubstitutions({
      {"/a/", "X", "", 0, ""},
      {"/(/", "X", "", 0, ""},
      {"/(/", "X", "abc", 0, "abc"},
      {"/a/8", "X", "abc", 0, "abc"},
      {"/q/", "X", "abc", 0, "abc"},
      {"/o/", "0", "foo", 0, "f00"},
      {"/kot/i", "<$&>", "Kot i kot", 0, "<Kot> i <kot>"},
      {"/aa/", "X", "aaaaa", 0, "XXa"},
      {"/aba/", "X", "ababa", 0, "Xba"},
      {"/a/b/i", "X", "A/B a/b ab", 0, "X X ab"},
      {"/(( )kot( )|^kot$)/i", "$2pies$3", "a Kot b", 0, "a pies b"},
      {"/(( )kot( )|^kot$)/i", "$2pies$3", "kot", 0, "pies"},
      {"/(( )kot( )|^kot$)/i", "$2pies$3", "a kot kot b", 0, "a pies kot b"},
      {"/(( )kot( )|^kot$)/i", "$2pies$3", "kotek", 0, "kotek"},
      // The subject's own length counts, not its first NUL byte.
      {"/a/", "X", "a\0a"s, 0, "X\0X"s},
      {"/\\x00/", "-", "a\0b"s, 0, "a-b"},
      {"/b/", "$&$&", "abc", 0, "abbc"},
      {"/b/", "", "abcb", 0, "ac"},
  });
}

TEST(RegexReplacerSubstitute, limit_zero_replaces_all_positive_at_most_n_negative_none) {
  expectSubstitutions({
      {"/o/", "0", "", 1, ""},
      {"/o/", "0", "foo", -1, "foo"},
      {"/o/", "0", "foo", -2147483647 - 1, "foo"},
      {"/o/", "0", "foo", 0, "f00"},
      {"/o/", "0", "foo", 1, "f0o"},
      {"/o/", "0", "foo", 2, "f00"},
      {"/o/", "0", "foo", 3, "f00"},
      {"/o/", "0", "foo", 2147483647, "f00"},
      {"/o/", "0", "fooooo", 4, "f0000o"},
  });
}

TEST(RegexReplacerSubstitute, option_letters_change_matching) {
  expectSubstitutions({
      {"/a/", "X", "aA", 0, "XA"},
      {"/a/i", "X", "aA", 0, "XX"},
      {"/z/i", "X", "Z", 0, "X"},
      {"/a/I", "X", "aA", 0, "XA"},
      {"/^b/", "X", "a\nb", 0, "a\nb"},
      {"/^b/m", "X", "a\nb", 0, "a\nX"},
      {"/a.b/", "X", "a\nb", 0, "a\nb"},
      {"/a.b/s", "X", "a\nb", 0, "X"},
      {"/a b/", "X", "ab", 0, "ab"},
      {"/a b/x", "X", "ab", 0, "X"},
      {"/a$/", "X", "a\n", 0, "X\n"},
      {"/a$/D", "X", "a\n", 0, "a\n"},
      {"/\\q/", "X", "q", 0, "X"},
      {"/a+/", "X", "aaa", 0, "X"},
      {"/a+/U", "X", "aaa", 0, "XXX"},
      // "B" makes the start of the subject no line start; "N" its end no
      // line end; "E" forbids empty matches.
      {"/^a/B", "X", "ab", 0, "ab"},
      {"/a$/N", "X", "a", 0, "a"},
      {"/x*/E", "-", "axxb", 0, "a-b"},
      {"/kot/g", "X", "kot kot", 0, "X X"},
  });
}

TEST(RegexReplacerSubstitute, caret_matches_only_before_first_replacement) {
  expectSubstitutions({
      {"/^a/", "X", "", 0, ""},
      {"/^a/", "X", "aaa", 0, "Xaa"},
      {"/^a/", "X", "baa", 0, "baa"},
      {"/^a/m", "X", "a\na", 0, "X\nX"},
      {"/^/", "-", "abc", 0, "-abc"},
  });
}

TEST(RegexReplacerSubstitute, anchored_letter_matches_only_where_previous_match_ended) {
  expectSubstitutions({
      {"/a/A", "X", "", 0, ""},
      {"/a/A", "X", "aab", 0, "XXb"},
      {"/a/A", "X", "baa", 0, "baa"},
      {"/a/A", "X", "aaba", 0, "XXba"},
      {"/ab/A", "X", "ababxab", 0, "XXxab"},
  });
}

TEST(RegexReplacerSubstitute, object_used_again_starts_afresh_for_each_call) {
  RegexReplacer replacer;
  // The "^" that stopped matching after the first replacement matches again
  // in the next call.
  EXPECT_EQ(replacer.substitute("/^a/", "X", "aa", 0), "Xa");
  EXPECT_EQ(replacer.substitute("/^a/", "X", "aa", 0), "Xa");
  EXPECT_EQ(replacer.substitute("/a/i", "X", "aA", 0), "XX");
  EXPECT_EQ(replacer.substitute("/a/", "X", "aA", 0), "XA");
  EXPECT_EQ(replacer.substitute("/a/", "X", "", 0), "");
  EXPECT_EQ(replacer.substitute("/a/", "X", "ba", 1), "bX");
}

// --------------------------------------------------------------- template

TEST(RegexReplacerTemplate, dollar_and_one_digit_or_ampersand_insert_groups) {
  struct TemplateCase {
    std::string replacement;
    std::string expected;
  };
  // Pattern «/(x)(y)(z)/» on «xyz»: groups 1 to 3 are x, y and z.
  const std::vector<TemplateCase> cases = {
      {"", ""},
      {"$", "$"},
      {"a$", "a$"},
      {"$$", "$$"},
      {"$x", "$x"},
      {"$ 1", "$ 1"},
      {"$-1", "$-1"},
      {"$0", "xyz"},
      {"$&", "xyz"},
      {"$&&", "xyz&"},
      {"$1", "x"},
      {"$3$2$1", "zyx"},
      {"<$2>", "<y>"},
      {"$12", "x2"},
      {"$10", "x0"},
      {"$$1", "$x"},
      {"\\$1", "\\x"},
      {"\\\\$1", "\\\\x"},
      {"$4", ""},
      {"$9", ""},
      {"a$9b", "ab"},
      {"%s%n%d", "%s%n%d"},
      // Superscript digits in other code pages; never digits here.
      {"$\xB9", "$\xB9"},
      {"$\xB2\xB3", "$\xB2\xB3"},
      {"\xB9$1\xA5", "\xB9x\xA5"},
  };
  for (const TemplateCase& c : cases) {
    SCOPED_TRACE("template \"" + show(c.replacement) + "\"");
    EXPECT_EQ(show(substituteOnce("/(x)(y)(z)/", c.replacement, "xyz")), show(c.expected));
  }
}

TEST(RegexReplacerTemplate, inserted_group_text_is_not_expanded_again) {
  expectSubstitutions({
      {"/(.+)/", "[$1]", "$1", 0, "[$1]"},
      {"/(.+)/", "$&$&", "$&", 0, "$&$&"},
      {"/(\\$)(1)/", "$1$2", "$1", 0, "$1"},
  });
}

TEST(RegexReplacerTemplate, group_without_part_in_match_expands_to_nothing) {
  expectSubstitutions({
      {"/(a)(b)?/", "[$1$2]", "a", 0, "[a]"},
      {"/(a)|(b)/", "[$1|$2]", "ab", 0, "[a|][|b]"},
      {"/(a)|(b)/", "[$2]", "a", 0, "[]"},
      // Group 1 lies below the highest group that took part, unset.
      {"/(a)?(b)/", "[$1|$2]", "b", 0, "[|b]"},
      {"/(a)?b/", "[$1]", "b", 0, "[]"},
      {"/(( )kot( )|^kot$)/i", "[$1|$2|$3]", "kot", 0, "[kot||]"},
  });
}

// --------------------------------------------------------------- captures

TEST(RegexReplacerSearch, captures_hold_one_entry_per_group_up_to_highest_that_took_part) {
  struct SearchCase {
    std::string pattern;
    std::string subject;
    int matchCount;
    std::vector<std::string> captures;
  };
  const std::vector<SearchCase> cases = {
      {"/(/", "abc", 0, {}},
      {"/a/", "", PCRE_ERROR_NOMATCH, {}},
      {"/a/", "b", PCRE_ERROR_NOMATCH, {}},
      {"", "abc", 1, {""}},
      {"/b/", "abc", 1, {"b"}},
      {"/(a)(b)?/", "a", 2, {"a", "a"}},
      {"/(a)|(b)/", "b", 3, {"b", "", "b"}},
      // Only the whole match and the outer group of the second branch.
      {"/(( )kot( )|^kot$)/i", "kot", 2, {"kot", "kot"}},
      {"/(( )kot( )|^kot$)/i", "a Kot b", 4, {" Kot ", " Kot ", " ", " "}},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE("pattern \"" + show(c.pattern) + "\" subject \"" + show(c.subject) + "\"");
    RegexReplacer replacer;
    replacer.setPattern(c.pattern);
    replacer.setSubject(c.subject);
    EXPECT_EQ(replacer.search(), c.matchCount);
    EXPECT_EQ(replacer.captures(), c.captures);
  }
}

std::string repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(RegexReplacerSearch, offset_vector_holds_whole_match_and_332_groups) {
  RegexReplacer replacer;
  replacer.setPattern("/" + repeat("(a)", 332) + "/");
  replacer.setSubject(repeat("a", 332));
  EXPECT_EQ(replacer.search(), 333);
  ASSERT_EQ(replacer.captures().size(), 333u);
  EXPECT_EQ(replacer.captures()[332], "a");

  replacer.setPattern("/" + repeat("(a)", 333) + "/");
  replacer.setSubject(repeat("a", 333));
  EXPECT_EQ(replacer.search(), 0);
  EXPECT_TRUE(replacer.captures().empty());
}

TEST(RegexReplacerSearch, overflowing_match_ends_substitution_and_keeps_rest) {
  // Group 333 takes part in the second match only.
  const std::string pattern = "/(b)|" + repeat("(a)", 332) + "/";
  const std::string tail = repeat("a", 332);
  EXPECT_EQ(substituteOnce(pattern, "X", "b" + tail), "X" + tail);
  EXPECT_EQ(substituteOnce(pattern, "X", tail + "b"), tail + "b");
}

TEST(RegexReplacerSearch, matching_error_ends_substitution_and_keeps_rest) {
  // Nested repeats without a way to fail early exhaust PCRE's match limit
  // on the run of "a"; the first match stays replaced.
  const std::string run = repeat("a", 26);
  RegexReplacer replacer;
  replacer.setPattern("/(a+)+[bc]/");
  replacer.setSubject(run);
  ASSERT_EQ(replacer.search(), PCRE_ERROR_MATCHLIMIT);
  EXPECT_EQ(replacer.substitute("/x|(a+)+[bc]/", "X", "x" + run + "x", 0), "X" + run + "x");
  // The same when the error comes from the search for a non-empty match
  // after an empty one: no byte is stepped over and nothing more replaced.
  EXPECT_EQ(replacer.substitute("/|(a+)+[bc]/", "-", run + "x", 0), "-" + run + "x");
}

// ------------------------------------------------------------ empty match

// Expected values are those of Perl's s///g on the same texts.
TEST(RegexReplacerEmptyMatch, empty_matches_advance_as_in_perl) {
  expectSubstitutions({
      {"/x*/", "-", "", 0, "-"},
      {"", "-", "", 0, "-"},
      {"", "-", "ab", 0, "-a-b-"},
      {"kot", "-", "ab", 0, "-a-b-"},
      {"/x*/", "-", "abc", 0, "-a-b-c-"},
      {"/x*/", "-", "xab", 0, "--a-b-"},
      {"/x*/", "-", "ax", 0, "-a--"},
      {"/x*/", "-", "xx", 0, "--"},
      {"/$/", "-", "abc", 0, "abc-"},
      {"/$/", "-", "a\n", 0, "a-\n-"},
      {"/\\b/", "-", "ab cd", 0, "-ab- -cd-"},
      {"/(?=b)/", "-", "abab", 0, "a-ba-b"},
      {"/(?<=a)/", "-", "aab", 0, "a-a-b"},
      {"/a*?/", "-", "aa", 0, "-----"},
      {"/^/m", "-", "a\nb", 0, "-a\n-b"},
      {"/(x*)/", "[$1]", "xa", 0, "[x][]a[]"},
      {"/^|a/", "-", "ab", 0, "--b"},
      {"/a|/", "-", "bab", 0, "-b--b-"},
      {"/b*/", "-", "abba", 0, "-a--a-"},
      {"/(a)|b*/", "<$1>", "abc", 0, "<a><><>c<>"},
      {"/x*/", "-", "\xB9\xA5", 0, "-\xB9-\xA5-"},
      {"/x*/", "-", "a\0b"s, 0, "-a-\0-b-"s},
  });
}

TEST(RegexReplacerEmptyMatch, every_empty_replacement_counts_towards_limit) {
  expectSubstitutions({
      {"/x*/", "-", "", 1, "-"},
      {"/x*/", "-", "abc", -1, "abc"},
      {"/x*/", "-", "abc", 1, "-abc"},
      {"/x*/", "-", "abc", 2, "-a-bc"},
      {"/x*/", "-", "abc", 4, "-a-b-c-"},
      {"/x*/", "-", "abc", 5, "-a-b-c-"},
      {"/a*?/", "-", "aa", 2, "--a"},
      {"/x*/", "-", "xab", 2, "--ab"},
  });
}

// "^" never matches the start again once something was replaced, where
// Perl would let it. The "A" letter keeps matches joined as Perl's \G does:
// once the retry after an empty match fails, stepping over a byte would
// leave a gap, so the substitution ends there.
TEST(RegexReplacerEmptyMatch, caret_and_anchored_letter_after_empty_match) {
  expectSubstitutions({
      {"/x*|^a/", "-", "ab", 0, "-a-b-"},
      {"/x*/A", "-", "ab", 0, "-ab"},
      {"/x*/A", "-", "xxab", 0, "--ab"},
      {"/^x*/", "-", "xxab", 0, "-ab"},
      {"/^x*/", "-", "ab", 0, "-ab"},
  });
}

TEST(RegexReplacerEmptyMatch, pattern_never_matching_empty_needs_no_step) {
  expectSubstitutions({
      {"/x*/E", "-", "", 0, ""},
      {"/x*/E", "-", "xaxx", 0, "-a-"},
      {"/x+/", "-", "xaxx", 0, "-a-"},
  });
}

TEST(RegexReplacerEmptyMatch, long_subject_with_empty_matches_finishes) {
  const std::string subject = repeat("ab", 5000);
  const std::string result = substituteOnce("/x*/", "", subject);
  EXPECT_EQ(result, subject);
  EXPECT_EQ(substituteOnce("/x*/", "-", subject).size(), subject.size() * 2 + 1);
}

// ------------------------------------------------------------ keep-out

// Fault: \K inside a lookaround let PCRE report a match starting after its
// end, or before where the search began; the substitution copied a negative
// length and searched the same place for ever. Such a match now ends the
// substitution like a failed search, keeping what was replaced before it.
TEST(RegexReplacerKeepOut, match_outside_the_search_ends_the_substitution) {
  expectSubstitutions({
      {"/(?=a\\K)/", "x", "a", 0, "a"},
      {"/a(?=b\\K)/", "x", "ab", 0, "ab"},
      {"/(?=ab\\K)/", "x", "abab", 0, "abab"},
      {"/(?<=\\K.)/", "x", "ab", 0, "xb"},
      {"/(?<=\\K.)/", "[$0]", "abc", 0, "[a]bc"},
      // Inside what was searched \K works as usual.
      {"/(?<=\\Ka)b/", "x", "abab", 0, "xx"},
      {"/a\\Kb/", "x", "abab", 0, "axax"},
  });
}

// ------------------------------------------------------- Windows-1250 bytes

// With PCRE's built-in tables only A-Z and a-z have another case, and only
// ASCII letters, digits and "_" are word characters. ą is 0xB9, Ą 0xA5,
// ż 0xBF, Ż 0xAF, ó 0xF3, Ó 0xD3, no-break space 0xA0.
TEST(RegexReplacerNationalBytes, bytes_above_127_never_fold_case_nor_count_as_word) {
  expectSubstitutions({
      {"/\xB9/i", "X", "", 0, ""},
      {"/\xB9/", "X", "\xB9", 0, "X"},
      {"/\xB9/i", "X", "\xA5", 0, "\xA5"},
      {"/\xA5/i", "X", "\xB9", 0, "\xB9"},
      {"/\\xb9/i", "X", "\xA5\xB9", 0, "\xA5X"},
      {"/\xBF"
       "aba/i",
       "X",
       "\xAF"
       "aba \xBF"
       "ABA",
       0,
       "\xAF"
       "aba X"},
      {"/[\xF3]/i", "X", "\xD3\xF3", 0, "\xD3X"},
      {"/(( )\xBF"
       "aba( )|^\xBF"
       "aba$)/i",
       "$2X$3",
       "\xAF"
       "aba",
       0,
       "\xAF"
       "aba"},
      {"/\\w/", "X", "\xB9\xA5\xBF", 0, "\xB9\xA5\xBF"},
      {"/\\W/", "X", "\xB9", 0, "X"},
      {"/\\b/", "|", "\xB9\xA5", 0, "\xB9\xA5"},
      {"/\\bkot\\b/", "X", "\xB9kot\xB9", 0, "\xB9X\xB9"},
      {"/[a-z]+/i", "X", "k\xF3t", 0, "X\xF3X"},
      {"/[[:alpha:]]/", "X", "\xB9", 0, "\xB9"},
      {"/\\s/", "X", "\xA0", 0, "\xA0"},
      {"/./", "X", "\xB9\xFF\x80", 0, "XXX"},
  });
}

}  // namespace
