// Texts the host hands over by address: copied at once, so nothing the
// plug-in keeps points into the host's memory.
#pragma once

#include <cstdint>
#include <string>

namespace qmx {

// The NUL-terminated text at `address`; the empty text for a null address.
inline std::string textAt(intptr_t address) {
  return address ? std::string(reinterpret_cast<const char*>(address)) : std::string();
}

}  // namespace qmx
