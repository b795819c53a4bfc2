// The call record and the configuration value record of the host boundary.
// Both are packed; address fields widen in place on 64-bit.
#pragma once

#include <cstdint>

#include "shell/record_layout.h"

namespace qmx {

#pragma pack(push, 1)

// The record every call carries, in both directions. Longer records extend
// it and say so in `size`.
struct IMessageArgs {
  uint16_t size;
  uint32_t id;
  uint32_t aux1;
  uint32_t aux2;
  uint32_t aux3;
  uint32_t aux4;
  intptr_t p1;  // an integer or the address of a further record
  intptr_t p2;
};

enum ConfigValueType : uint16_t { kConfigInt = 0, kConfigText = 1 };

// One configuration value, read or written by the host's operations 21 and 22.
struct ConfigValue {
  uint16_t type;   // ConfigValueType
  intptr_t value;  // the integer, or a text's address
  int32_t size;
};

#pragma pack(pop)

// A plain call record: the size of IMessageArgs, the aux fields 0.
inline IMessageArgs plainRecord(uint32_t id, intptr_t p1, intptr_t p2) {
  IMessageArgs record{};
  record.size = sizeof(IMessageArgs);
  record.id = id;
  record.p1 = p1;
  record.p2 = p2;
  return record;
}

QMX_ASSERT_LAYOUT_32(IMessageArgs, 30);
QMX_ASSERT_OFFSET_32(IMessageArgs, size, 0);
QMX_ASSERT_OFFSET_32(IMessageArgs, id, 2);
QMX_ASSERT_OFFSET_32(IMessageArgs, aux1, 6);
QMX_ASSERT_OFFSET_32(IMessageArgs, aux2, 10);
QMX_ASSERT_OFFSET_32(IMessageArgs, aux3, 14);
QMX_ASSERT_OFFSET_32(IMessageArgs, aux4, 18);
QMX_ASSERT_OFFSET_32(IMessageArgs, p1, 22);
QMX_ASSERT_OFFSET_32(IMessageArgs, p2, 26);

QMX_ASSERT_LAYOUT_32(ConfigValue, 10);
QMX_ASSERT_OFFSET_32(ConfigValue, type, 0);
QMX_ASSERT_OFFSET_32(ConfigValue, value, 2);
QMX_ASSERT_OFFSET_32(ConfigValue, size, 6);

}  // namespace qmx
