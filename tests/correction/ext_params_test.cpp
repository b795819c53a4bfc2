#include "correction/ext_params.h"

#include <gtest/gtest.h>

#include <string>

using namespace qmx;

namespace {

// "\x1a" followed by a letter a-f would read as one longer escape, so the
// separator is spelt S and texts are joined around it.
const std::string S(1, EXT_SEPARATOR);

struct GetCase {
  const char* name;
  std::string ext;
  std::string key;
  std::string expected;
};

const GetCase kGetCases[] = {
    // Empty and invalid inputs first.
    {"empty key on empty text", "", "", ""},
    {"empty key finds no entry even where one opens with =", S + "=v", "", ""},
    {"empty text holds no entry", "", "quillmax", ""},
    {"key without separator in front is no entry", "quillmax=1", "quillmax", ""},
    {"key case matters", S + "QUILLMAX=1", "quillmax", ""},
    {"equals sign must follow the key at once", S + "quillmaxx=1", "quillmax", ""},
    {"longer key ending in the key is another key", S + "xquillmax=1", "quillmax", ""},
    {"key without equals sign is no entry", S + "quillmax", "quillmax", ""},
    {"empty value reads as absent", S + "quillmax=", "quillmax", ""},
    // Found entries.
    {"single entry", S + "quillmax=1", "quillmax", "1"},
    {"entry among others", S + "a=b" + S + "quillmax=1" + S + "c=d", "quillmax", "1"},
    {"value runs to the end of the text", S + "quillmax=10", "quillmax", "10"},
    {"value ends at the next separator", S + "quillmax=1" + S, "quillmax", "1"},
    {"first entry of a key counts", S + "quillmax=2" + S + "quillmax=1", "quillmax", "2"},
    {"value may hold equals signs", S + "a=b=c" + S + "d=e", "a", "b=c"},
    {"text before the first separator is skipped", "x" + S + "quillmax=1", "quillmax", "1"},
    {"prefix text looking like an entry is not one", "quillmax=9" + S + "quillmax=1", "quillmax",
     "1"},
    {"other key is not confused with its prefix", S + "quillmaxx=5" + S + "quillmax=1", "quillmax",
     "1"},
    {"polish bytes in key and value", S + "k\xb3" + "=\xea\xf3", "k\xb3", "\xea\xf3"},
};

TEST(ExtParams, get_reads_the_first_entry_of_the_key) {
  for (const GetCase& c : kGetCases) {
    EXPECT_EQ(getExtParam(c.ext, c.key), c.expected) << c.name;
  }
}

struct SetCase {
  const char* name;
  std::string ext;
  std::string key;
  std::string value;
  std::string expected;
};

const SetCase kSetCases[] = {
    // Empty and invalid inputs first.
    {"empty key leaves empty text", "", "", "1", ""},
    {"empty key leaves entries untouched", S + "quillmax=0" + S + "a=b", "", "1",
     S + "quillmax=0" + S + "a=b"},
    {"empty key leaves plain text untouched", "plain", "", "1", "plain"},
    {"empty text gains the entry", "", "quillmax", "1", S + "quillmax=1"},
    // Appending.
    {"new key goes after existing entries", S + "a=b", "quillmax", "1",
     S + "a=b" + S + "quillmax=1"},
    {"plain text is kept in front", "plain", "quillmax", "1", "plain" + S + "quillmax=1"},
    {"key without separator in front is appended anew", "quillmax=0", "quillmax", "1",
     "quillmax=0" + S + "quillmax=1"},
    {"entry with other case is another key", S + "QUILLMAX=0", "quillmax", "1",
     S + "QUILLMAX=0" + S + "quillmax=1"},
    {"longer key is another key", S + "quillmaxx=5", "quillmax", "1",
     S + "quillmaxx=5" + S + "quillmax=1"},
    // Replacing in place.
    {"first entry replaced, later ones keep their place", S + "quillmax=0" + S + "a=b", "quillmax",
     "1", S + "quillmax=1" + S + "a=b"},
    {"last entry replaced, prefix text kept", "x" + S + "quillmax=0", "quillmax", "1",
     "x" + S + "quillmax=1"},
    {"middle entry replaced", S + "a=b" + S + "quillmax=0" + S + "c=d", "quillmax", "1",
     S + "a=b" + S + "quillmax=1" + S + "c=d"},
    {"only the first entry of a key is replaced", S + "quillmax=0" + S + "quillmax=5", "quillmax",
     "1", S + "quillmax=1" + S + "quillmax=5"},
    {"empty value replaced", S + "quillmax=" + S + "a=b", "quillmax", "1",
     S + "quillmax=1" + S + "a=b"},
    {"value may be set empty", S + "quillmax=1" + S + "a=b", "quillmax", "",
     S + "quillmax=" + S + "a=b"},
    {"value holding equals signs replaced whole", S + "a=b=c" + S + "d=e", "a", "z",
     S + "a=z" + S + "d=e"},
    {"trailing separator kept", S + "quillmax=0" + S, "quillmax", "1", S + "quillmax=1" + S},
};

TEST(ExtParams, set_replaces_the_first_entry_in_place_or_appends) {
  for (const SetCase& c : kSetCases) {
    EXPECT_EQ(setExtParam(c.ext, c.key, c.value), c.expected) << c.name;
  }
}

// The correction marks its copies with quillmax=1 and later recognises them by
// reading the key back; every text it may meet must give the mark back.
TEST(ExtParams, value_set_on_any_text_reads_back) {
  for (const SetCase& c : kSetCases) {
    if (c.key.empty()) continue;
    const std::string marked = setExtParam(c.ext, c.key, "1");
    EXPECT_EQ(getExtParam(marked, c.key), "1") << c.name;
  }
}

}  // namespace
