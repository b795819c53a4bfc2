// Text conversion for the emulated kernel32's MultiByteToWideChar and
// WideCharToMultiByte: Windows-1250 (the ANSI code page of a Polish Windows,
// the system this loader stands in for) and UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qmxpe {

enum class CodePage { kWindows1250, kUtf8 };

// The code page a Windows code page number selects: CP_ACP (0),
// CP_THREAD_ACP (3) and 1250 are Windows-1250, CP_UTF8 (65001) is UTF-8.
// nullopt for any other, which the conversions reject as Windows rejects an
// uninstalled code page.
std::optional<CodePage> codePageFor(uint32_t number);

// Bytes to UTF-16. The five bytes Windows-1250 leaves undefined map to the
// control characters of the same value, and malformed UTF-8 to U+FFFD; with
// `strict` either makes the conversion fail (nullopt), as
// MB_ERR_INVALID_CHARS does.
std::optional<std::u16string> decode(CodePage page, std::string_view bytes, bool strict);

struct Encoded {
  std::string bytes;
  bool usedDefault = false;  // some character had no byte form
};

// UTF-16 to bytes. In Windows-1250 a character without a byte form becomes
// `defaultChar`; in UTF-8 an unpaired surrogate becomes U+FFFD.
Encoded encode(CodePage page, std::u16string_view text, char defaultChar);

}  // namespace qmxpe
