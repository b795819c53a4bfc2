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
struct ActionEvent {
  uint16_t size;
  ActionRef ref;  // only its id is read
  int32_t code;
  uint8_t reserved18[6];
  HWND hwnd;        // window events: written on 220, read on 221
  HWND hwndParent;  // event 220: the window that holds the element's window
  int32_t pos1;     // event 220: read, then increased by the window's width
  int32_t pos2;     // event 220: read, then increased by the window's height
  uint8_t reserved40[20];
  int32_t width;   // event 220: set to the window's width
  int32_t height;  // event 220: set to the window's height
};
#pragma pack(pop)

QMX_ASSERT_LAYOUT_32(ActionEvent, 68);
QMX_ASSERT_OFFSET_32(ActionEvent, ref, 2);
QMX_ASSERT_OFFSET_32(ActionEvent, code, 14);
QMX_ASSERT_OFFSET_32(ActionEvent, hwnd, 24);
QMX_ASSERT_OFFSET_32(ActionEvent, hwndParent, 28);
QMX_ASSERT_OFFSET_32(ActionEvent, pos1, 32);
QMX_ASSERT_OFFSET_32(ActionEvent, pos2, 36);
QMX_ASSERT_OFFSET_32(ActionEvent, width, 60);
QMX_ASSERT_OFFSET_32(ActionEvent, height, 64);

// The shortest records that hold what each event uses; derived from the
// layout, so they stay right when the window handles widen on 64-bit.
constexpr size_t kMinEventSize = offsetof(ActionEvent, code) + sizeof(int32_t);
constexpr size_t kMinCreateWindowEventSize = offsetof(ActionEvent, height) + sizeof(int32_t);
constexpr size_t kMinDestroyWindowEventSize = offsetof(ActionEvent, hwndParent) + sizeof(HWND);

}  // namespace qmx
