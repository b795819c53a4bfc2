#include "emulator/printf_format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "emulator/text_codec.h"

namespace qmxpe {
namespace {

constexpr int kMaxField = 65536;
constexpr size_t kNoLimit = std::numeric_limits<size_t>::max();

enum class Size { kDefault, kChar, kShort, kLong, kLongLong };

struct Directive {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  bool zero = false;
  int width = 0;
  int precision = -1;  // -1: none given
  Size size = Size::kDefault;
};

int capField(int64_t value) {
  return static_cast<int>(std::min<int64_t>(value, kMaxField));
}

// Lays out sign/prefix and body within the width.
std::string pad(const Directive& directive, const std::string& prefix, const std::string& body,
                bool zeroAllowed) {
  const size_t length = prefix.size() + body.size();
  const size_t width = static_cast<size_t>(directive.width);
  if (length >= width) {
    return prefix + body;
  }
  const size_t fill = width - length;
  if (directive.left) {
    return prefix + body + std::string(fill, ' ');
  }
  if (directive.zero && zeroAllowed) {
    return prefix + std::string(fill, '0') + body;
  }
  return std::string(fill, ' ') + prefix + body;
}

std::string digits(uint64_t value, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  do {
    text += set[value % base];
    value /= base;
  } while (value != 0);
  std::reverse(text.begin(), text.end());
  return text;
}

uint64_t takeInteger(PrintfArguments& args, const Directive& directive, bool isSigned) {
  if (directive.size == Size::kLongLong) {
    const uint64_t low = args.next();
    return low | uint64_t{args.next()} << 32;
  }
  const uint32_t slot = args.next();
  switch (directive.size) {
    case Size::kChar:
      return isSigned ? static_cast<uint64_t>(int64_t{static_cast<int8_t>(slot)})
                      : static_cast<uint8_t>(slot);
    case Size::kShort:
      return isSigned ? static_cast<uint64_t>(int64_t{static_cast<int16_t>(slot)})
                      : static_cast<uint16_t>(slot);
    default:
      return isSigned ? static_cast<uint64_t>(int64_t{static_cast<int32_t>(slot)}) : slot;
  }
}

std::string formatInteger(PrintfArguments& args, const Directive& directive, char conversion) {
  const bool isSigned = conversion == 'd' || conversion == 'i';
  uint64_t value = takeInteger(args, directive, isSigned);
  std::string prefix;
  if (isSigned) {
    const auto signedValue = static_cast<int64_t>(value);
    if (signedValue < 0) {
      prefix = "-";
      value = 0 - value;
    } else if (directive.plus) {
      prefix = "+";
    } else if (directive.space) {
      prefix = " ";
    }
  }
  const unsigned base = conversion == 'o' ? 8 : (conversion == 'x' || conversion == 'X') ? 16 : 10;
  std::string body =
      directive.precision == 0 && value == 0 ? "" : digits(value, base, conversion == 'X');
  if (directive.precision > 0 && body.size() < static_cast<size_t>(directive.precision)) {
    body.insert(0, static_cast<size_t>(directive.precision) - body.size(), '0');
  }
  if (directive.alternate) {
    if (base == 8 && (body.empty() || body[0] != '0')) {
      body.insert(0, "0");
    } else if (base == 16 && value != 0) {
      prefix += conversion == 'X' ? "0X" : "0x";
    }
  }
  return pad(directive, prefix, body, directive.precision < 0);
}

std::string formatFloat(PrintfArguments& args, const Directive& directive, char conversion) {
  const uint64_t low = args.next();
  const uint64_t bits = low | uint64_t{args.next()} << 32;
  double value;
  std::memcpy(&value, &bits, sizeof value);

  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(conversion)));
  const int precision = std::min(directive.precision < 0 ? 6 : directive.precision, 512);
  char buffer[1024];
  std::to_chars_result result{buffer, std::errc()};
  const double magnitude = std::fabs(value);
  if (lower == 'f') {
    result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed,
                           precision);
  } else if (lower == 'e') {
    result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                           precision);
  } else if (lower == 'g') {
    result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::general,
                           precision == 0 ? 1 : precision);
  } else {
    result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::hex);
  }
  std::string body = result.ec == std::errc() ? std::string(buffer, result.ptr) : "?";
  if (lower == 'a') {
    body.insert(0, "0x");
  }
  // msvcrt writes exponents with at least three digits.
  const size_t e = lower == 'a' ? std::string::npos : body.find('e');
  if (e != std::string::npos && e + 2 < body.size() && body.size() - (e + 2) == 2) {
    body.insert(e + 2, "0");
  }
  if (conversion != lower) {
    std::transform(body.begin(), body.end(), body.begin(), [](char c) {
      return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
  }
  std::string prefix = std::signbit(value) ? "-"
                       : directive.plus    ? "+"
                       : directive.space   ? " "
                                           : "";
  return pad(directive, prefix, body, std::isfinite(value));
}

std::string narrowed(const std::u16string& text) {
  return encode(CodePage::kWindows1250, text, '?').bytes;
}

std::string formatText(PrintfArguments& args, const Directive& directive, bool wide) {
  const uint32_t address = args.next();
  const size_t limit =
      directive.precision < 0 ? kNoLimit : static_cast<size_t>(directive.precision);
  std::string body;
  if (address == 0) {
    body = "(null)";
  } else if (wide) {
    body = narrowed(args.wideText(address, limit));
  } else {
    body = args.text(address, limit);
  }
  if (body.size() > limit) {
    body.resize(limit);
  }
  return pad(directive, "", body, false);
}

std::string formatChar(PrintfArguments& args, const Directive& directive, bool wide) {
  const uint32_t slot = args.next();
  const std::string body = wide ? narrowed(std::u16string(1, static_cast<char16_t>(slot)))
                                : std::string(1, static_cast<char>(slot));
  return pad(directive, "", body, false);
}

}  // namespace

std::string formatPrintf(std::string_view format, PrintfArguments& args) {
  std::string out;
  size_t i = 0;
  const size_t n = format.size();
  while (i < n) {
    if (format[i] != '%') {
      out += format[i++];
      continue;
    }
    const size_t start = i++;
    Directive directive;
    for (; i < n; ++i) {
      const char c = format[i];
      if (c == '-') {
        directive.left = true;
      } else if (c == '+') {
        directive.plus = true;
      } else if (c == ' ') {
        directive.space = true;
      } else if (c == '#') {
        directive.alternate = true;
      } else if (c == '0') {
        directive.zero = true;
      } else {
        break;
      }
    }
    if (i < n && format[i] == '*') {
      const auto width = static_cast<int32_t>(args.next());
      if (width < 0) {
        directive.left = true;
      }
      directive.width = capField(width < 0 ? -int64_t{width} : width);
      ++i;
    } else {
      int64_t width = 0;
      for (; i < n && std::isdigit(static_cast<unsigned char>(format[i])); ++i) {
        width = std::min<int64_t>(width * 10 + (format[i] - '0'), kMaxField);
      }
      directive.width = static_cast<int>(width);
    }
    if (i < n && format[i] == '.') {
      ++i;
      if (i < n && format[i] == '*') {
        const auto precision = static_cast<int32_t>(args.next());
        directive.precision = precision < 0 ? -1 : capField(precision);
        ++i;
      } else {
        int64_t precision = 0;
        for (; i < n && std::isdigit(static_cast<unsigned char>(format[i])); ++i) {
          precision = std::min<int64_t>(precision * 10 + (format[i] - '0'), kMaxField);
        }
        directive.precision = static_cast<int>(precision);
      }
    }
    const std::string_view rest = format.substr(i);
    if (rest.substr(0, 3) == "I64") {
      directive.size = Size::kLongLong;
      i += 3;
    } else if (rest.substr(0, 3) == "I32") {
      i += 3;
    } else if (rest.substr(0, 2) == "ll") {
      directive.size = Size::kLongLong;
      i += 2;
    } else if (rest.substr(0, 2) == "hh") {
      directive.size = Size::kChar;
      i += 2;
    } else if (!rest.empty()) {
      switch (rest[0]) {
        case 'h':
          directive.size = Size::kShort;
          ++i;
          break;
        case 'l':
        case 'w':
          directive.size = Size::kLong;
          ++i;
          break;
        case 'L':
          // A long double is a double in msvcrt; as an integer size it is 64-bit.
          directive.size = Size::kLongLong;
          ++i;
          break;
        case 'I':
        case 'z':
        case 't':
        case 'j':
          // Pointer-sized, 32-bit here; j is intmax_t, 64-bit.
          directive.size = rest[0] == 'j' ? Size::kLongLong : Size::kDefault;
          ++i;
          break;
        default:
          break;
      }
    }
    if (i >= n) {
      out.append(format.substr(start));
      break;
    }
    const char conversion = format[i++];
    switch (conversion) {
      case '%':
        out += '%';
        break;
      case 'd':
      case 'i':
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        out += formatInteger(args, directive, conversion);
        break;
      case 'p': {
        Directive pointer = directive;
        pointer.precision = 8;
        pointer.size = Size::kDefault;
        pointer.alternate = false;
        out += formatInteger(args, pointer, 'X');
        break;
      }
      case 'c':
      case 'C':
        // In msvcrt's narrow printf %C is a wide character, %hC a narrow one.
        out += formatChar(
            args, directive,
            conversion == 'C' ? directive.size != Size::kShort : directive.size == Size::kLong);
        break;
      case 's':
      case 'S':
        out += formatText(
            args, directive,
            conversion == 'S' ? directive.size != Size::kShort : directive.size == Size::kLong);
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        out += formatFloat(args, directive, conversion);
        break;
      case 'n':
        args.next();  // never written: the count is of no use to anyone here
        break;
      default:
        out.append(format.substr(start, i - start));
        break;
    }
  }
  return out;
}

}  // namespace qmxpe
