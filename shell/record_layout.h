// Helpers for records exchanged with the host.
#pragma once

#include <cstddef>

// The documented byte layouts are the 32-bit ones; on 64-bit the address
// fields widen in place, so the asserts only hold (and only run) there.
#if defined(__i386__) || defined(_M_IX86)
#define QMX_ASSERT_LAYOUT_32(type, size_) \
  static_assert(sizeof(type) == (size_), #type " has the wrong size")
#define QMX_ASSERT_OFFSET_32(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), #type "::" #field " is misplaced")
#else
#define QMX_ASSERT_LAYOUT_32(type, size_) static_assert(true, "")
#define QMX_ASSERT_OFFSET_32(type, field, offset) static_assert(true, "")
#endif
