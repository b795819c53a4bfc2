// The one way the emulator's files treat a Unicorn call that must succeed.
#pragma once

#include <unicorn/unicorn.h>

#include <stdexcept>
#include <string>

namespace qmxpe {

// Throws std::runtime_error naming `what` and Unicorn's reason unless `err`
// is success.
inline void checkUnicorn(uc_err err, const char* what) {
  if (err != UC_ERR_OK) {
    throw std::runtime_error(std::string("unicorn: ") + what + ": " + uc_strerror(err));
  }
}

}  // namespace qmxpe
