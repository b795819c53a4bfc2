// The host's record of an event on a settings-page element.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/windows_api.h"
#include "shell/action_ref.h"
#include "shell/record_layout.h"

namespace qmx {

enum EventCode : int32_t {
  EVENT_ACTIVATE = 1,          // a button was pressed
  EVENT_CREATE_WINDOW = 220,   // the host asks for a custom element's window
  EVENT_DESTROY_WINDOW = 221,  // the host asks for that window to go
};

#pragma pack(push, 1)
// `Window` is the type of the window handles: HWND in the plug-in.
template <typename Window>
struct ActionEventT {
  uint16_t size;
  ActionRef ref;  // only its id is read
  int32_t code;
  uint8_t reserved18[6];
  Window hwnd;        // window events: written on 220, read on 221
  Window hwndParent;  // event 220: the window that holds the element's window
  int32_t pos1;       // event 220: read, then increased by the window's width
  int32_t pos2;       // event 220: read, then increased by the window's height
  uint8_t reserved40[20];
  int32_t width;   // event 220: set to the window's width
  int32_t height;  // event 220: set to the window's height
};
#pragma pack(pop)

using ActionEvent = ActionEventT<HWND>;
namespace image32 {
using ActionEvent = ActionEventT<uint32_t>;
}  // namespace image32

QMX_ASSERT_SIZE(ActionEvent, 68, 2);
QMX_ASSERT_FIELD(ActionEvent, ref.id, 2, 0);
QMX_ASSERT_FIELD(ActionEvent, ref.parent, 6, 0);
QMX_ASSERT_FIELD(ActionEvent, ref.instance, 10, 0);
QMX_ASSERT_FIELD(ActionEvent, code, 14, 0);
QMX_ASSERT_FIELD(ActionEvent, reserved18, 18, 0);
QMX_ASSERT_FIELD(ActionEvent, hwnd, 24, 0);
QMX_ASSERT_FIELD(ActionEvent, hwndParent, 28, 1);
QMX_ASSERT_FIELD(ActionEvent, pos1, 32, 2);
QMX_ASSERT_FIELD(ActionEvent, pos2, 36, 2);
QMX_ASSERT_FIELD(ActionEvent, reserved40, 40, 2);
QMX_ASSERT_FIELD(ActionEvent, width, 60, 2);
QMX_ASSERT_FIELD(ActionEvent, height, 64, 2);

// The shortest records that hold what each event uses; derived from the
// layout, so they stay right when the window handles widen on 64-bit.
constexpr size_t kMinEventSize = offsetof(ActionEvent, code) + sizeof(int32_t);
constexpr size_t kMinCreateWindowEventSize = offsetof(ActionEvent, height) + sizeof(int32_t);
constexpr size_t kMinDestroyWindowEventSize = offsetof(ActionEvent, hwndParent) + sizeof(HWND);

}  // namespace qmx
