// The emulator's reads and writes on behalf of emulated code: each checked
// against the pages' protection first, failing as the CPU would fault.
#include <unicorn/unicorn.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/unicorn_check.h"

namespace qmxpe {
namespace {

// Copies go through a host buffer of at most this many bytes at a time.
constexpr uint32_t kCopyChunk = 1u << 16;

}  // namespace

void Emulator::checkAccess(uint32_t address, size_t size, uint32_t needed, const char* verb) const {
  if (size == 0) {
    return;
  }
  if (uint64_t{address} + size - 1 > UINT32_MAX) {
    throw EmulationError(FaultKind::kAccessViolation, address,
                         std::string("access violation ") + verb + " " + hex32(address) + " (" +
                             std::to_string(size) + " bytes past the end of the address space)");
  }
  const std::optional<uint32_t> denied = space_.firstDenied(address, size, needed);
  if (!denied) {
    return;
  }
  std::string message = std::string("access violation ") + verb + " " + hex32(*denied);
  if (space_.isMapped(*denied)) {
    message += ", a page with protection " + protectionText(space_.pageProtection(*denied));
  } else {
    message += " (" + describe(*denied) + ")";
  }
  throw EmulationError(FaultKind::kAccessViolation, *denied, message);
}

void Emulator::read(uint32_t address, void* out, size_t size) const {
  checkAccess(address, size, kProtRead, "reading");
  if (size != 0) {
    checkUnicorn(uc_mem_read(uc_.get(), address, out, size), "memory read");
  }
}

void Emulator::write(uint32_t address, const void* data, size_t size) {
  checkAccess(address, size, kProtWrite, "writing");
  if (size != 0) {
    checkUnicorn(uc_mem_write(uc_.get(), address, data, size), "memory write");
  }
}

void Emulator::load(uint32_t address, const void* data, size_t size) {
  checkAccess(address, size, kProtNone, "loading at");
  if (size != 0) {
    checkUnicorn(uc_mem_write(uc_.get(), address, data, size), "memory write");
  }
}

uint8_t Emulator::read8(uint32_t address) const {
  uint8_t value;
  read(address, &value, 1);
  return value;
}

uint16_t Emulator::read16(uint32_t address) const {
  uint16_t value;
  read(address, &value, 2);
  return value;
}

uint32_t Emulator::read32(uint32_t address) const {
  uint32_t value;
  read(address, &value, 4);
  return value;
}

uint32_t Emulator::boundedLength(uint32_t address, uint32_t limit) const {
  char chunk[256];
  uint32_t length = 0;
  while (length < limit) {
    const uint32_t at = address + length;
    // Never read past the page: the text may end just before unmapped memory.
    const uint32_t size = std::min<uint32_t>(
        {static_cast<uint32_t>(sizeof chunk), kPageSize - at % kPageSize, limit - length});
    read(at, chunk, size);
    const void* nul = std::memchr(chunk, 0, size);
    if (nul != nullptr) {
      return length + static_cast<uint32_t>(static_cast<const char*>(nul) - chunk);
    }
    length += size;
  }
  return limit;
}

uint32_t Emulator::stringLength(uint32_t address, size_t limit) const {
  const auto bound = static_cast<uint32_t>(std::min<size_t>(limit, UINT32_MAX));
  const uint32_t length = boundedLength(address, bound);
  if (length == bound) {
    throw EmulationError(FaultKind::kHostError, address,
                         "the text at " + hex32(address) + " is not terminated within " +
                             std::to_string(bound) + " bytes");
  }
  return length;
}

std::string Emulator::readString(uint32_t address, size_t limit) const {
  const uint32_t length = stringLength(address, limit);
  std::string text(length, '\0');
  read(address, text.data(), length);
  return text;
}

std::u16string Emulator::readWideString(uint32_t address, size_t limit) const {
  std::u16string text;
  for (uint32_t at = address;; at += 2) {
    if (text.size() >= limit) {
      throw EmulationError(FaultKind::kHostError, address,
                           "the wide text at " + hex32(address) + " is not terminated within " +
                               std::to_string(limit) + " units");
    }
    const uint16_t unit = read16(at);
    if (unit == 0) {
      return text;
    }
    text.push_back(static_cast<char16_t>(unit));
  }
}

void Emulator::moveBytes(uint32_t destination, uint32_t source, uint32_t size) {
  checkAccess(source, size, kProtRead, "reading");
  checkAccess(destination, size, kProtWrite, "writing");
  std::vector<uint8_t> buffer(std::min<uint32_t>(size, kCopyChunk));
  // Chunks go front to back unless the destination overlaps the source's
  // tail, as memmove must.
  const bool backwards = destination > source && destination - source < size;
  for (uint32_t done = 0; done < size;) {
    const uint32_t chunk = std::min<uint32_t>(static_cast<uint32_t>(buffer.size()), size - done);
    const uint32_t offset = backwards ? size - done - chunk : done;
    checkUnicorn(uc_mem_read(uc_.get(), source + offset, buffer.data(), chunk), "memory read");
    checkUnicorn(uc_mem_write(uc_.get(), destination + offset, buffer.data(), chunk),
                 "memory write");
    done += chunk;
  }
}

void Emulator::fill(uint32_t destination, uint8_t value, uint32_t size) {
  checkAccess(destination, size, kProtWrite, "writing");
  const std::vector<uint8_t> buffer(std::min<uint32_t>(size, kCopyChunk), value);
  for (uint32_t done = 0; done < size;) {
    const uint32_t chunk = std::min<uint32_t>(static_cast<uint32_t>(buffer.size()), size - done);
    checkUnicorn(uc_mem_write(uc_.get(), destination + done, buffer.data(), chunk), "memory write");
    done += chunk;
  }
}

}  // namespace qmxpe
