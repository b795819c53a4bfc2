// How the records exchanged with the host are described and checked.
//
// Each record is one packed template on the type of its address fields,
// instantiated twice: with the plug-in's own types under the record's plain
// name (what the plug-in's code uses), and with 32-bit addresses in
// namespace image32 (the record as a 32-bit image lays it out: the DLL, the
// 32-bit build; what a 64-bit host reads in the emulated DLL). The documented
// layout is the 32-bit one; in the plug-in's own records the address fields
// widen in place. The checks below hold both instantiations to it in every
// build.
#pragma once

#include <cstddef>

namespace qmx {

// What each address field of the plug-in's own records adds to the
// documented layout: 0 on 32-bit, 4 on 64-bit.
inline constexpr size_t kAddressWidening = sizeof(void*) - 4;

}  // namespace qmx

// `field` of `Record` lies at `offset32` in a 32-bit image, and in the
// plug-in's own record after `addressesBefore` widened address fields. For
// use inside namespace qmx.
#define QMX_ASSERT_FIELD(Record, field, offset32, addressesBefore)                          \
  static_assert(offsetof(image32::Record, field) == (offset32),                             \
                #Record "::" #field " is misplaced in a 32-bit image");                     \
  static_assert(offsetof(Record, field) == (offset32) + (addressesBefore)*kAddressWidening, \
                #Record "::" #field " is misplaced")

// `Record` is `size32` bytes in a 32-bit image and holds `addresses` address
// fields that widen.
#define QMX_ASSERT_SIZE(Record, size32, addresses)                         \
  static_assert(sizeof(image32::Record) == (size32),                       \
                #Record " has the wrong size in a 32-bit image");          \
  static_assert(sizeof(Record) == (size32) + (addresses)*kAddressWidening, \
                #Record " has the wrong size")
