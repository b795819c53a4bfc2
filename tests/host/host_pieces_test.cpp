// The pieces of the simulated messenger that a user's data passes through:
// text conversion and the store file.
#include <gtest/gtest.h>

#include "host/config_store.h"
#include "host/text_codec.h"
#include "tests/support/process.h"

namespace {

using qmxhost::ConfigStore;
using qmxhost::StoreError;
using qmxhost::TextCodecError;

struct TextCase {
  const char* utf8;
  const char* cp1250;
};

TEST(TextCodec, polish_letters_and_symbols_convert_both_ways) {
  const TextCase cases[] = {
      {"", ""},
      {"kot", "kot"},
      {"zażółć gęślą jaźń", "za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1"},
      {"ZAŻÓŁĆ GĘŚLĄ JAŹŃ", "ZA\xaf\xd3\xa3\xc6 G\xca\x8cL\xa5 JA\x8f\xd1"},
      {"€ – „ ” ©", "\x80 \x96 \x84 \x94 \xa9"},
      {"\x01\x1a\r\n", "\x01\x1a\r\n"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(qmxhost::utf8ToCp1250(c.utf8), c.cp1250) << c.utf8;
    EXPECT_EQ(qmxhost::cp1250ToUtf8(c.cp1250), c.utf8) << c.utf8;
  }
}

TEST(TextCodec, text_without_a_form_is_an_error_naming_what_and_where) {
  struct ErrorCase {
    const char* utf8;
    const char* mentions;
  };
  const ErrorCase cases[] = {
      {"ab日", "\"日\" at 2"},
      {"x😀", "\"😀\" at 1"},
      {"a\xff", "0xFF at 1"},
      {"\xc5", "ends inside a character"},
  };
  for (const ErrorCase& c : cases) {
    try {
      qmxhost::utf8ToCp1250(c.utf8);
      ADD_FAILURE() << "no error for " << c.mentions;
    } catch (const TextCodecError& error) {
      EXPECT_NE(std::string(error.what()).find(c.mentions), std::string::npos) << error.what();
    }
  }
  for (const char* undefined : {"\x81", "\x83", "\x88", "\x90", "\x98"}) {
    EXPECT_THROW(qmxhost::cp1250ToUtf8(std::string("ok") + undefined), TextCodecError);
  }
}

TEST(ConfigStore, store_file_round_trips_integers_and_texts) {
  qmxtest::TempDir dir;
  ConfigStore store;
  store.setText("Rewordix/From",
                "ma\xbf"
                "e\r\n/a$/\r\n");
  store.setInteger("Rewordix/Przychodzace", -7);
  store.saveFile(dir.file("s.json"));
  const ConfigStore loaded = ConfigStore::loadFile(dir.file("s.json"));
  EXPECT_EQ(loaded.text("Rewordix/From"),
            "ma\xbf"
            "e\r\n/a$/\r\n");
  EXPECT_EQ(loaded.integer("Rewordix/Przychodzace"), -7);
  EXPECT_EQ(loaded.integer("Rewordix/From"), std::nullopt) << "a text is no integer";
  EXPECT_NE(qmxtest::readFile(dir.file("s.json")).find("\"maże\\r\\n/a$/\\r\\n\""),
            std::string::npos)
      << "texts are UTF-8 in the file";
}

TEST(ConfigStore, missing_file_is_an_empty_store) {
  qmxtest::TempDir dir;
  EXPECT_TRUE(ConfigStore::loadFile(dir.file("absent.json")).columns().empty());
}

TEST(ConfigStore, bad_documents_are_refused_with_their_place) {
  struct Case {
    const char* json;
    const char* mentions;
  };
  const Case cases[] = {
      {"", "line 1, column 1"},
      {"{", "line 1, column 2"},
      {"{\"a\": 1,\n\"b\" 2}", "line 2, column 5"},
      {"\"text\"", "JSON object"},
      {"{\"a\": 1.5}", "\"a\" must be an integer or a string"},
      {"{\"a\": null}", "\"a\" must be an integer or a string"},
      {"{\"a\": 4294967296}", "32-bit range"},
  };
  for (const Case& c : cases) {
    try {
      ConfigStore::parse(c.json, "store.json");
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const StoreError& error) {
      const std::string what = error.what();
      EXPECT_EQ(what.rfind("store.json: ", 0), 0u) << what;
      EXPECT_NE(what.find(c.mentions), std::string::npos) << what;
    }
  }
}

}  // namespace
