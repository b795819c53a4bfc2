#include "emulator/text_codec.h"

namespace qmxpe {
namespace {

// Windows-1250 bytes 0x80 to 0xFF; 0 marks the five undefined bytes.
constexpr char16_t kUpperHalf1250[128] = {
    0x20ac, 0x0000, 0x201a, 0x0000, 0x201e, 0x2026, 0x2020, 0x2021, 0x0000, 0x2030, 0x0160, 0x2039,
    0x015a, 0x0164, 0x017d, 0x0179, 0x0000, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0161, 0x203a, 0x015b, 0x0165, 0x017e, 0x017a, 0x00a0, 0x02c7, 0x02d8, 0x0141,
    0x00a4, 0x0104, 0x00a6, 0x00a7, 0x00a8, 0x00a9, 0x015e, 0x00ab, 0x00ac, 0x00ad, 0x00ae, 0x017b,
    0x00b0, 0x00b1, 0x02db, 0x0142, 0x00b4, 0x00b5, 0x00b6, 0x00b7, 0x00b8, 0x0105, 0x015f, 0x00bb,
    0x013d, 0x02dd, 0x013e, 0x017c, 0x0154, 0x00c1, 0x00c2, 0x0102, 0x00c4, 0x0139, 0x0106, 0x00c7,
    0x010c, 0x00c9, 0x0118, 0x00cb, 0x011a, 0x00cd, 0x00ce, 0x010e, 0x0110, 0x0143, 0x0147, 0x00d3,
    0x00d4, 0x0150, 0x00d6, 0x00d7, 0x0158, 0x016e, 0x00da, 0x0170, 0x00dc, 0x00dd, 0x0162, 0x00df,
    0x0155, 0x00e1, 0x00e2, 0x0103, 0x00e4, 0x013a, 0x0107, 0x00e7, 0x010d, 0x00e9, 0x0119, 0x00eb,
    0x011b, 0x00ed, 0x00ee, 0x010f, 0x0111, 0x0144, 0x0148, 0x00f3, 0x00f4, 0x0151, 0x00f6, 0x00f7,
    0x0159, 0x016f, 0x00fa, 0x0171, 0x00fc, 0x00fd, 0x0163, 0x02d9,
};

void appendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xc0 | codePoint >> 6);
    out += static_cast<char>(0x80 | (codePoint & 0x3f));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xe0 | codePoint >> 12);
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (codePoint & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | codePoint >> 18);
    out += static_cast<char>(0x80 | (codePoint >> 12 & 0x3f));
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3f));
    out += static_cast<char>(0x80 | (codePoint & 0x3f));
  }
}

void appendUtf16(std::u16string& out, uint32_t codePoint) {
  if (codePoint < 0x10000) {
    out += static_cast<char16_t>(codePoint);
  } else {
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xd800 | codePoint >> 10);
    out += static_cast<char16_t>(0xdc00 | (codePoint & 0x3ff));
  }
}

std::optional<std::u16string> decodeUtf8(std::string_view bytes, bool strict) {
  std::u16string out;
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    int length = lead >= 0xf0 && lead <= 0xf4 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
    if (lead > 0xf4) {
      length = 0;
    }
    uint32_t codePoint = length == 4 ? lead & 0x07u : length == 3 ? lead & 0x0fu : lead & 0x1fu;
    bool valid = length != 0 && i + static_cast<size_t>(length) <= bytes.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
      valid = (next & 0xc0) == 0x80;
      codePoint = codePoint << 6 | (next & 0x3fu);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are malformed.
    valid = valid && !(length == 3 && codePoint < 0x800) && !(length == 4 && codePoint < 0x10000) &&
            !(codePoint >= 0xd800 && codePoint <= 0xdfff) && codePoint <= 0x10ffff;
    if (!valid) {
      if (strict) {
        return std::nullopt;
      }
      out += u'\ufffd';
      ++i;
      continue;
    }
    appendUtf16(out, codePoint);
    i += static_cast<size_t>(length);
  }
  return out;
}

}  // namespace

std::optional<CodePage> codePageFor(uint32_t number) {
  switch (number) {
    case 0:
    case 3:
    case 1250:
      return CodePage::kWindows1250;
    case 65001:
      return CodePage::kUtf8;
    default:
      return std::nullopt;
  }
}

std::optional<std::u16string> decode(CodePage page, std::string_view bytes, bool strict) {
  if (page == CodePage::kUtf8) {
    return decodeUtf8(bytes, strict);
  }
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    char16_t unit = byte < 0x80 ? byte : kUpperHalf1250[byte - 0x80];
    if (unit == 0 && byte != 0) {
      if (strict) {
        return std::nullopt;
      }
      unit = byte;
    }
    out += unit;
  }
  return out;
}

Encoded encode(CodePage page, std::u16string_view text, char defaultChar) {
  Encoded result;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (page == CodePage::kUtf8) {
      uint32_t codePoint = unit;
      if (unit >= 0xd800 && unit <= 0xdbff && i + 1 < text.size() && text[i + 1] >= 0xdc00 &&
          text[i + 1] <= 0xdfff) {
        codePoint = 0x10000 + ((unit - 0xd800u) << 10) + (text[i + 1] - 0xdc00u);
        ++i;
      } else if (unit >= 0xd800 && unit <= 0xdfff) {
        codePoint = 0xfffd;
      }
      appendUtf8(result.bytes, codePoint);
      continue;
    }
    if (unit < 0x80) {
      result.bytes += static_cast<char>(unit);
      continue;
    }
    bool found = false;
    for (unsigned k = 0; k < 128; ++k) {
      if (kUpperHalf1250[k] == unit) {
        result.bytes += static_cast<char>(0x80 + k);
        found = true;
        break;
      }
    }
    // The undefined bytes decode to their own values; they encode back.
    if (!found && (unit == 0x81 || unit == 0x83 || unit == 0x88 || unit == 0x90 || unit == 0x98)) {
      result.bytes += static_cast<char>(unit);
      found = true;
    }
    if (!found) {
      result.bytes += defaultChar;
      result.usedDefault = true;
    }
  }
  return result;
}

}  // namespace qmxpe
