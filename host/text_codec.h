// Conversion between the terminal's UTF-8 and the plug-in's Windows-1250.
#pragma once

#include <stdexcept>
#include <string>

namespace qmxhost {

// A text that has no form in the other encoding. `what()` names the first
// offending character or byte and its position.
class TextCodecError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// UTF-8 to Windows-1250. Throws TextCodecError for a character with no
// Windows-1250 form and for bytes that are not UTF-8.
std::string utf8ToCp1250(const std::string& utf8);

// Windows-1250 to UTF-8. Throws TextCodecError for the five bytes that
// Windows-1250 leaves without a character (0x81, 0x83, 0x88, 0x90, 0x98).
std::string cp1250ToUtf8(const std::string& cp1250);

}  // namespace qmxhost
