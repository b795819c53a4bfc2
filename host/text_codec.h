// Conversion between the terminal's UTF-8 and the plug-in's Windows-1250.
#pragma once

#include <stdexcept>
#include <string>

namespace qmxhost {

// A text that has no form in the other encoding. `what()` names the first
// offending character or byte and its position.
class TextCodecError : public std::runtime_error {
 public:
  // `offset`: the byte where the offending character or byte starts;
  // `length`: its bytes (1 for a byte that is not part of a character).
  TextCodecError(const std::string& what, size_t offset, size_t length)
      : std::runtime_error(what), offset_(offset), length_(length) {}
  explicit TextCodecError(const std::string& what) : TextCodecError(what, 0, 0) {}

  size_t offset() const { return offset_; }
  size_t length() const { return length_; }

 private:
  size_t offset_;
  size_t length_;
};

// The character, counted from 1, that byte `offset` of the UTF-8 `text`
// begins or falls in: a column as a person counts it.
size_t characterColumn(const std::string& text, size_t offset);

// UTF-8 to Windows-1250. Throws TextCodecError for a character with no
// Windows-1250 form and for bytes that are not UTF-8.
std::string utf8ToCp1250(const std::string& utf8);

// Windows-1250 to UTF-8. Throws TextCodecError for the five bytes that
// Windows-1250 leaves without a character (0x81, 0x83, 0x88, 0x90, 0x98).
std::string cp1250ToUtf8(const std::string& cp1250);

}  // namespace qmxhost
