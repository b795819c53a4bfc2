// Records by which the plug-in declares its configuration columns, registers
// its icon and creates, reads and changes settings-page elements. All are
// packed; address fields widen in place on 64-bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/action_ref.h"
#include "shell/record_layout.h"

namespace qmx {

#pragma pack(push, 1)

// The call record of registerColumn itself: it extends the plain call record
// and says so in `size`.
struct ColumnArgs {
  uint16_t size;
  uint32_t id;  // HOST_REGISTER_COLUMN
  uint32_t aux1;
  uint32_t aux2;
  uint32_t aux3;
  uint32_t aux4;
  uint8_t reserved22;
  int32_t column;
  int32_t type;  // ConfigValueType
  int32_t reserved31;
  intptr_t name;  // NUL-terminated column name
};

struct IconArgs {
  uint16_t size;
  uint16_t reserved2;
  int32_t iconId;
  int32_t value8;   // 1
  int32_t value12;  // 0
  int32_t value16;  // 1
  intptr_t instance;
  int32_t resourceId;
  int32_t reserved28;
  int32_t reserved32;
};

// Fields named by offset are ones whose meaning is the host's; the plug-in
// only fills them as each call requires. The short form ends at `value74`.
struct ActionInfo {
  uint16_t size;
  ActionRef ref;
  int32_t value14;  // -1 when created, else 0
  int32_t reserved18;
  int32_t value22;
  int32_t reserved26;
  uint32_t mask;
  uint32_t status;
  uint32_t statusMask;
  int32_t reserved42;
  int32_t value46;
  intptr_t text;
  int32_t textSize;
  int32_t value58;
  int32_t param;
  int32_t value66;
  uint16_t value70;
  uint16_t value72;  // 50 for the information text
  uint16_t value74;  // long form only
  uint16_t value76;  // long form only
};

#pragma pack(pop)

// The sizes the two forms of ActionInfo announce.
constexpr uint16_t kActionInfoShortSize = offsetof(ActionInfo, value74);
constexpr uint16_t kActionInfoLongSize = sizeof(ActionInfo);

QMX_ASSERT_LAYOUT_32(ColumnArgs, 39);
QMX_ASSERT_OFFSET_32(ColumnArgs, aux1, 6);
QMX_ASSERT_OFFSET_32(ColumnArgs, reserved22, 22);
QMX_ASSERT_OFFSET_32(ColumnArgs, column, 23);
QMX_ASSERT_OFFSET_32(ColumnArgs, type, 27);
QMX_ASSERT_OFFSET_32(ColumnArgs, reserved31, 31);
QMX_ASSERT_OFFSET_32(ColumnArgs, name, 35);

QMX_ASSERT_LAYOUT_32(IconArgs, 36);
QMX_ASSERT_OFFSET_32(IconArgs, iconId, 4);
QMX_ASSERT_OFFSET_32(IconArgs, value8, 8);
QMX_ASSERT_OFFSET_32(IconArgs, value12, 12);
QMX_ASSERT_OFFSET_32(IconArgs, value16, 16);
QMX_ASSERT_OFFSET_32(IconArgs, instance, 20);
QMX_ASSERT_OFFSET_32(IconArgs, resourceId, 24);
QMX_ASSERT_OFFSET_32(IconArgs, reserved28, 28);
QMX_ASSERT_OFFSET_32(IconArgs, reserved32, 32);

QMX_ASSERT_LAYOUT_32(ActionInfo, 78);
QMX_ASSERT_OFFSET_32(ActionInfo, ref, 2);
QMX_ASSERT_OFFSET_32(ActionInfo, value14, 14);
QMX_ASSERT_OFFSET_32(ActionInfo, reserved18, 18);
QMX_ASSERT_OFFSET_32(ActionInfo, value22, 22);
QMX_ASSERT_OFFSET_32(ActionInfo, reserved26, 26);
QMX_ASSERT_OFFSET_32(ActionInfo, mask, 30);
QMX_ASSERT_OFFSET_32(ActionInfo, status, 34);
QMX_ASSERT_OFFSET_32(ActionInfo, statusMask, 38);
QMX_ASSERT_OFFSET_32(ActionInfo, reserved42, 42);
QMX_ASSERT_OFFSET_32(ActionInfo, value46, 46);
QMX_ASSERT_OFFSET_32(ActionInfo, text, 50);
QMX_ASSERT_OFFSET_32(ActionInfo, textSize, 54);
QMX_ASSERT_OFFSET_32(ActionInfo, value58, 58);
QMX_ASSERT_OFFSET_32(ActionInfo, param, 62);
QMX_ASSERT_OFFSET_32(ActionInfo, value66, 66);
QMX_ASSERT_OFFSET_32(ActionInfo, value70, 70);
QMX_ASSERT_OFFSET_32(ActionInfo, value72, 72);
QMX_ASSERT_OFFSET_32(ActionInfo, value74, 74);
QMX_ASSERT_OFFSET_32(ActionInfo, value76, 76);
#if defined(__i386__) || defined(_M_IX86)
static_assert(kActionInfoShortSize == 74, "the short form of ActionInfo is 74 bytes");
#endif

}  // namespace qmx
