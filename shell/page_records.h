// Records by which the plug-in declares its configuration columns, registers
// its icon and creates, reads and changes settings-page elements. All are
// packed, described once for both address widths (shell/record_layout.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/action_ref.h"
#include "shell/record_layout.h"

namespace qmx {

#pragma pack(push, 1)

// The call record of registerColumn itself: it extends the plain call record
// and says so in `size`.
template <typename Address>
struct ColumnArgsT {
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
  Address name;  // NUL-terminated column name
};

template <typename Address>
struct IconArgsT {
  uint16_t size;
  uint16_t reserved2;
  int32_t iconId;
  // Fixed values the host expects beside the icon; their meaning is its own.
  int32_t value8;   // 1
  int32_t value12;  // 0
  int32_t value16;  // 1
  Address instance;
  int32_t resourceId;
  int32_t reserved28;
  int32_t reserved32;
};

// Fields named by offset are ones whose meaning is the host's; the plug-in
// only fills them as each call requires. The short form ends at `value74`.
template <typename Address>
struct ActionInfoT {
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
  Address text;
  int32_t textSize;
  int32_t value58;
  int32_t param;
  int32_t value66;
  uint16_t value70;
  uint16_t value72;  // 50 for the information text, else 0 (see createAction)
  uint16_t value74;  // long form only
  uint16_t value76;  // long form only
};

#pragma pack(pop)

using ColumnArgs = ColumnArgsT<intptr_t>;
using IconArgs = IconArgsT<intptr_t>;
using ActionInfo = ActionInfoT<intptr_t>;
namespace image32 {
using ColumnArgs = ColumnArgsT<uint32_t>;
using IconArgs = IconArgsT<uint32_t>;
using ActionInfo = ActionInfoT<uint32_t>;
}  // namespace image32

// The sizes the two forms of ActionInfo announce.
constexpr uint16_t kActionInfoShortSize = offsetof(ActionInfo, value74);
constexpr uint16_t kActionInfoLongSize = sizeof(ActionInfo);

QMX_ASSERT_SIZE(ColumnArgs, 39, 1);
QMX_ASSERT_FIELD(ColumnArgs, id, 2, 0);
QMX_ASSERT_FIELD(ColumnArgs, aux1, 6, 0);
QMX_ASSERT_FIELD(ColumnArgs, aux2, 10, 0);
QMX_ASSERT_FIELD(ColumnArgs, aux3, 14, 0);
QMX_ASSERT_FIELD(ColumnArgs, aux4, 18, 0);
QMX_ASSERT_FIELD(ColumnArgs, reserved22, 22, 0);
QMX_ASSERT_FIELD(ColumnArgs, column, 23, 0);
QMX_ASSERT_FIELD(ColumnArgs, type, 27, 0);
QMX_ASSERT_FIELD(ColumnArgs, reserved31, 31, 0);
QMX_ASSERT_FIELD(ColumnArgs, name, 35, 0);

QMX_ASSERT_SIZE(IconArgs, 36, 1);
QMX_ASSERT_FIELD(IconArgs, reserved2, 2, 0);
QMX_ASSERT_FIELD(IconArgs, iconId, 4, 0);
QMX_ASSERT_FIELD(IconArgs, value8, 8, 0);
QMX_ASSERT_FIELD(IconArgs, value12, 12, 0);
QMX_ASSERT_FIELD(IconArgs, value16, 16, 0);
QMX_ASSERT_FIELD(IconArgs, instance, 20, 0);
QMX_ASSERT_FIELD(IconArgs, resourceId, 24, 1);
QMX_ASSERT_FIELD(IconArgs, reserved28, 28, 1);
QMX_ASSERT_FIELD(IconArgs, reserved32, 32, 1);

QMX_ASSERT_SIZE(ActionInfo, 78, 1);
QMX_ASSERT_FIELD(ActionInfo, ref.id, 2, 0);
QMX_ASSERT_FIELD(ActionInfo, ref.parent, 6, 0);
QMX_ASSERT_FIELD(ActionInfo, ref.instance, 10, 0);
QMX_ASSERT_FIELD(ActionInfo, value14, 14, 0);
QMX_ASSERT_FIELD(ActionInfo, reserved18, 18, 0);
QMX_ASSERT_FIELD(ActionInfo, value22, 22, 0);
QMX_ASSERT_FIELD(ActionInfo, reserved26, 26, 0);
QMX_ASSERT_FIELD(ActionInfo, mask, 30, 0);
QMX_ASSERT_FIELD(ActionInfo, status, 34, 0);
QMX_ASSERT_FIELD(ActionInfo, statusMask, 38, 0);
QMX_ASSERT_FIELD(ActionInfo, reserved42, 42, 0);
QMX_ASSERT_FIELD(ActionInfo, value46, 46, 0);
QMX_ASSERT_FIELD(ActionInfo, text, 50, 0);
QMX_ASSERT_FIELD(ActionInfo, textSize, 54, 1);
QMX_ASSERT_FIELD(ActionInfo, value58, 58, 1);
QMX_ASSERT_FIELD(ActionInfo, param, 62, 1);
QMX_ASSERT_FIELD(ActionInfo, value66, 66, 1);
QMX_ASSERT_FIELD(ActionInfo, value70, 70, 1);
QMX_ASSERT_FIELD(ActionInfo, value72, 72, 1);
QMX_ASSERT_FIELD(ActionInfo, value74, 74, 1);
QMX_ASSERT_FIELD(ActionInfo, value76, 76, 1);

}  // namespace qmx
