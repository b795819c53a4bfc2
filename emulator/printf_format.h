// A printf formatter for the emulated C runtime: the format and every
// argument come from emulated memory, so none of it may reach the host's own
// printf. It follows msvcrt's conventions where they differ from C99 (%p as
// eight upper-case hex digits, three-digit exponents, %S and %C for wide
// arguments, the I64 size prefix) and never writes memory (%n consumes its
// argument and does nothing).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qmxpe {

// Where the formatter takes its arguments from: consecutive 32-bit slots of
// the variadic area, and the texts they point at.
class PrintfArguments {
 public:
  virtual ~PrintfArguments() = default;
  // The next 32-bit slot; 64-bit values take two (low word first).
  virtual uint32_t next() = 0;
  // The narrow text at a non-null address, at most `limit` bytes.
  virtual std::string text(uint32_t address, size_t limit) = 0;
  // The 16-bit text at a non-null address, at most `limit` units.
  virtual std::u16string wideText(uint32_t address, size_t limit) = 0;
};

// The formatted text. Widths and precisions are capped at 65536 so that a
// hostile format cannot make it allocate without bound; an incomplete or
// unknown directive is copied as it stands.
std::string formatPrintf(std::string_view format, PrintfArguments& args);

}  // namespace qmxpe
