// Windows-1250 and UTF-8 conversion behind MultiByteToWideChar and
// WideCharToMultiByte.
#include "emulator/text_codec.h"

#include <gtest/gtest.h>

namespace {

using qmxpe::CodePage;
using qmxpe::codePageFor;
using qmxpe::decode;
using qmxpe::encode;

TEST(TextCodec, code_page_numbers) {
  const struct {
    uint32_t number;
    std::optional<CodePage> page;
  } cases[] = {{0, CodePage::kWindows1250},
               {3, CodePage::kWindows1250},
               {1250, CodePage::kWindows1250},
               {65001, CodePage::kUtf8},
               {1252, std::nullopt},
               {852, std::nullopt},
               {1, std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(codePageFor(c.number), c.page) << c.number;
  }
}

// All the Polish letters, both cases, and the bytes around them.
TEST(TextCodec, windows_1250_round_trip_of_polish_letters) {
  const std::string bytes =
      "\xb9\xe6\xea\xb3\xf1\xf3\x9c\x9f\xbf\xa5\xc6\xca\xa3\xd1\xd3\x8c\x8f\xaf";
  const std::u16string text =
      u"\u0105\u0107\u0119\u0142\u0144\u00f3\u015b\u017a\u017c"
      u"\u0104\u0106\u0118\u0141\u0143\u00d3\u015a\u0179\u017b";
  EXPECT_EQ(decode(CodePage::kWindows1250, bytes, true), text);
  const qmxpe::Encoded back = encode(CodePage::kWindows1250, text, '?');
  EXPECT_EQ(back.bytes, bytes);
  EXPECT_FALSE(back.usedDefault);
}

TEST(TextCodec, undefined_windows_1250_bytes_fail_only_when_strict) {
  for (char byte : {'\x81', '\x83', '\x88', '\x90', '\x98'}) {
    const std::string bytes(1, byte);
    EXPECT_EQ(decode(CodePage::kWindows1250, bytes, true), std::nullopt);
    const auto lax = decode(CodePage::kWindows1250, bytes, false);
    ASSERT_TRUE(lax.has_value());
    EXPECT_EQ(+(*lax)[0], +static_cast<char16_t>(static_cast<unsigned char>(byte)));
    EXPECT_EQ(encode(CodePage::kWindows1250, *lax, '?').bytes, bytes);
  }
}

TEST(TextCodec, characters_outside_windows_1250_become_the_default) {
  const qmxpe::Encoded encoded = encode(CodePage::kWindows1250, u"a\u20ac\u2603\u00e9", '#');
  EXPECT_EQ(encoded.bytes, "a\x80#\xe9");
  EXPECT_TRUE(encoded.usedDefault);
}

TEST(TextCodec, utf8_decodes_every_length_and_surrogate_pairs) {
  EXPECT_EQ(decode(CodePage::kUtf8, "a\xc5\x82\xe2\x98\x83\xf0\x9f\x98\x80", true),
            std::u16string(u"a\u0142\u2603\U0001F600"));
  EXPECT_EQ(encode(CodePage::kUtf8, u"a\u0142\u2603\U0001F600", '?').bytes,
            "a\xc5\x82\xe2\x98\x83\xf0\x9f\x98\x80");
}

TEST(TextCodec, malformed_utf8_is_replaced_or_refused) {
  const char* const malformed[] = {
      "\x80",              // a lone continuation byte
      "\xc5",              // cut short
      "\xc0\xaf",          // overlong
      "\xe0\x80\xaf",      // overlong
      "\xed\xa0\x80",      // an encoded surrogate
      "\xf4\x90\x80\x80",  // past U+10FFFF
      "\xff",
  };
  for (const char* bytes : malformed) {
    EXPECT_EQ(decode(CodePage::kUtf8, bytes, true), std::nullopt) << bytes;
    const auto lax = decode(CodePage::kUtf8, bytes, false);
    ASSERT_TRUE(lax.has_value());
    ASSERT_FALSE(lax->empty());
    EXPECT_EQ(+(*lax)[0], 0xfffd) << bytes;
  }
}

TEST(TextCodec, an_unpaired_surrogate_encodes_as_the_replacement_character) {
  EXPECT_EQ(encode(CodePage::kUtf8, std::u16string(1, u'\xd800') + u"x", '?').bytes,
            "\xef\xbf\xbdx");
}

}  // namespace
