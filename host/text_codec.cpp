#include "host/text_codec.h"

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <memory>

namespace qmxhost {
namespace {

std::string describeByte(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

// The length of the well-formed UTF-8 sequence starting at `at`, or 0 when
// the bytes there are not UTF-8.
size_t utf8SequenceLength(const std::string& text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

std::string convert(const std::string& input, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw TextCodecError(std::string("no conversion from ") + from + " to " + to);
  }
  std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
  std::string output(input.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* out = &output[0];
  size_t outLeft = output.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) continue;
    const size_t position = input.size() - inLeft;
    const auto byte = static_cast<unsigned char>(input[position]);
    if (errno == EILSEQ && std::string(from) == "UTF-8") {
      // A valid character with no Windows-1250 form, or bytes that are not UTF-8.
      const size_t length = utf8SequenceLength(input, position);
      if (length == 0) {
        throw TextCodecError(
            "byte " + describeByte(byte) + " at " + std::to_string(position) + " is not UTF-8",
            position, 1);
      }
      throw TextCodecError("character \"" + input.substr(position, length) + "\" at " +
                               std::to_string(position) + " has no Windows-1250 form",
                           position, length);
    }
    if (errno == EINVAL) {
      throw TextCodecError("the text ends inside a character at " + std::to_string(position),
                           position, input.size() - position);
    }
    throw TextCodecError("byte " + describeByte(byte) + " at " + std::to_string(position) +
                             " has no character in Windows-1250",
                         position, 1);
  }
  output.resize(output.size() - outLeft);
  return output;
}

}  // namespace

size_t characterColumn(const std::string& text, size_t offset) {
  size_t column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    column += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
  }
  return column;
}

std::string utf8ToCp1250(const std::string& utf8) {
  return convert(utf8, "UTF-8", "CP1250");
}

std::string cp1250ToUtf8(const std::string& cp1250) {
  return convert(cp1250, "CP1250", "UTF-8");
}

}  // namespace qmxhost
