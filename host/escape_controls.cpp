#include "host/escape_controls.h"

#include <cstdio>

namespace qmxhost {
namespace {

void appendHex(std::string& out, unsigned char byte) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\x%02X", byte);
  out += escape;
}

}  // namespace

std::string escapeControls(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte == '\n') {
      shown += "\\n";
    } else if (byte == '\r') {
      shown += "\\r";
    } else if (byte == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      appendHex(shown, byte);
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      appendHex(shown, byte);
      appendHex(shown, next);
      ++i;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

}  // namespace qmxhost
