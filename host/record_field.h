// Where the host finds a field of a host record in the loaded plug-in's
// memory: the record's one description (shell/), instantiated for the
// plug-in's address width, which is known only once it is loaded: a 32-bit
// image (the DLL, the 32-bit build) or this build's own width.
#pragma once

#include <cstddef>
#include <utility>

namespace qmxhost {

struct RecordField {
  size_t offset;
  size_t width;  // in bytes
};

}  // namespace qmxhost

// `field` of the record `Record` (its name in namespace qmx) in a plug-in
// whose addresses are `pointerSize` bytes wide.
#define QMX_RECORD_FIELD(pointerSize, Record, field)                                  \
  ((pointerSize) == 4                                                                 \
       ? ::qmxhost::RecordField{offsetof(::qmx::image32::Record, field),              \
                                sizeof(std::declval<::qmx::image32::Record>().field)} \
       : ::qmxhost::RecordField{offsetof(::qmx::Record, field),                       \
                                sizeof(std::declval<::qmx::Record>().field)})

// The size of the record `Record` in a plug-in whose addresses are
// `pointerSize` bytes wide.
#define QMX_RECORD_SIZE(pointerSize, Record) \
  ((pointerSize) == 4 ? sizeof(::qmx::image32::Record) : sizeof(::qmx::Record))
