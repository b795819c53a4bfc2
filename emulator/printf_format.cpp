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

// A run of decimal digits at format[i], capped; `i` ends past it.
int readNumber(std::string_view format, size_t& i) {
  int64_t value = 0;
  for (; i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])); ++i) {
    value = std::min<int64_t>(value * 10 + (format[i] - '0'), kMaxField);
  }
  return static_cast<int>(value);
}

void readFlags(std::string_view format, size_t& i, Directive& directive) {
  for (; i < format.size(); ++i) {
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
      return;
    }
  }
}

// The width, then the precision after a '.'; '*' takes either from the
// arguments, a negative width meaning left-justified and a negative
// precision none.
void readWidthAndPrecision(std::string_view format, size_t& i, Directive& directive,
                           PrintfArguments& args) {
  const size_t n = format.size();
  if (i < n && format[i] == '*') {
    const auto width = static_cast<int32_t>(args.next());
    if (width < 0) {
      directive.left = true;
    }
    directive.width = capField(width < 0 ? -int64_t{width} : width);
    ++i;
  } else {
    directive.width = readNumber(format, i);
  }
  if (i >= n || format[i] != '.') {
    return;
  }
  ++i;
  if (i < n && format[i] == '*') {
    const auto precision = static_cast<int32_t>(args.next());
    directive.precision = precision < 0 ? -1 : capField(precision);
    ++i;
  } else {
    directive.precision = readNumber(format, i);
  }
}

// The argument size prefix at format[i], msvcrt's I64 and I32 among them.
Size readSize(std::string_view format, size_t& i) {
  struct Prefix {
    std::string_view text;
    Size size;
  };
  static constexpr Prefix kLongPrefixes[] = {{"I64", Size::kLongLong},
                                             {"I32", Size::kDefault},
                                             {"ll", Size::kLongLong},
                                             {"hh", Size::kChar}};
  const std::string_view rest = format.substr(i);
  for (const Prefix& prefix : kLongPrefixes) {
    if (rest.substr(0, prefix.text.size()) == prefix.text) {
      i += prefix.text.size();
      return prefix.size;
    }
  }
  if (rest.empty()) {
    return Size::kDefault;
  }
  switch (rest[0]) {
    case 'h':
      ++i;
      return Size::kShort;
    case 'l':
    case 'w':
      ++i;
      return Size::kLong;
    case 'L':
      // A long double is a double in msvcrt; as an integer size it is 64-bit.
      ++i;
      return Size::kLongLong;
    case 'I':
    case 'z':
    case 't':
    case 'j':
      // Pointer-sized, 32-bit here; j is intmax_t, 64-bit.
      ++i;
      return rest[0] == 'j' ? Size::kLongLong : Size::kDefault;
    default:
      return Size::kDefault;
  }
}

// What one directive writes; `asWritten` (the directive's own text) for a
// conversion msvcrt does not know.
std::string formatConversion(char conversion, const Directive& directive, PrintfArguments& args,
                             std::string_view asWritten) {
  switch (conversion) {
    case '%':
      return "%";
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      return formatInteger(args, directive, conversion);
    case 'p': {
      Directive pointer = directive;
      pointer.precision = 8;
      pointer.size = Size::kDefault;
      pointer.alternate = false;
      return formatInteger(args, pointer, 'X');
    }
    case 'c':
    case 'C':
      // In msvcrt's narrow printf %C is a wide character, %hC a narrow one.
      return formatChar(
          args, directive,
          conversion == 'C' ? directive.size != Size::kShort : directive.size == Size::kLong);
    case 's':
    case 'S':
      return formatText(
          args, directive,
          conversion == 'S' ? directive.size != Size::kShort : directive.size == Size::kLong);
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      return formatFloat(args, directive, conversion);
    case 'n':
      args.next();  // never written: the count is of no use to anyone here
      return "";
    default:
      return std::string(asWritten);
  }
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
    readFlags(format, i, directive);
    readWidthAndPrecision(format, i, directive, args);
    directive.size = readSize(format, i);
    if (i >= n) {
      out.append(format.substr(start));
      break;
    }
    const char conversion = format[i++];
    out += formatConversion(conversion, directive, args, format.substr(start, i - start));
  }
  return out;
}

}  // namespace qmxpe
