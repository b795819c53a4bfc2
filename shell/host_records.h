// The call record and the configuration value record of the host boundary.
// Both are packed, described once for both address widths
// (shell/record_layout.h).
#pragma once

#include <cstdint>

#include "shell/record_layout.h"

namespace qmx {

#pragma pack(push, 1)

// The record every call carries, in both directions. Longer records extend
// it and say so in `size`.
template <typename Address>
struct IMessageArgsT {
  uint16_t size;
  uint32_t id;
  uint32_t aux1;
  uint32_t aux2;
  uint32_t aux3;
  uint32_t aux4;
  Address p1;  // an integer or the address of a further record
  Address p2;
};

enum ConfigValueType : uint16_t { kConfigInt = 0, kConfigText = 1 };

// One configuration value, read or written by the host's operations 21 and 22.
template <typename Address>
struct ConfigValueT {
  uint16_t type;  // ConfigValueType
  Address value;  // the integer, or a text's address
  int32_t size;
};

#pragma pack(pop)

using IMessageArgs = IMessageArgsT<intptr_t>;
using ConfigValue = ConfigValueT<intptr_t>;
namespace image32 {
using IMessageArgs = IMessageArgsT<uint32_t>;
using ConfigValue = ConfigValueT<uint32_t>;
}  // namespace image32

// A plain call record: the size of IMessageArgs, the aux fields 0.
inline IMessageArgs plainRecord(uint32_t id, intptr_t p1, intptr_t p2) {
  IMessageArgs record{};
  record.size = sizeof(IMessageArgs);
  record.id = id;
  record.p1 = p1;
  record.p2 = p2;
  return record;
}

QMX_ASSERT_SIZE(IMessageArgs, 30, 2);
QMX_ASSERT_FIELD(IMessageArgs, size, 0, 0);
QMX_ASSERT_FIELD(IMessageArgs, id, 2, 0);
QMX_ASSERT_FIELD(IMessageArgs, aux1, 6, 0);
QMX_ASSERT_FIELD(IMessageArgs, aux2, 10, 0);
QMX_ASSERT_FIELD(IMessageArgs, aux3, 14, 0);
QMX_ASSERT_FIELD(IMessageArgs, aux4, 18, 0);
QMX_ASSERT_FIELD(IMessageArgs, p1, 22, 0);
QMX_ASSERT_FIELD(IMessageArgs, p2, 26, 1);

QMX_ASSERT_SIZE(ConfigValue, 10, 1);
QMX_ASSERT_FIELD(ConfigValue, type, 0, 0);
QMX_ASSERT_FIELD(ConfigValue, value, 2, 0);
QMX_ASSERT_FIELD(ConfigValue, size, 6, 1);

}  // namespace qmx
