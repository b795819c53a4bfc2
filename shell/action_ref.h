// The address of a settings-page element, as it appears inside host records.
#pragma once

#include <cstdint>

namespace qmx {

#pragma pack(push, 1)
struct ActionRef {
  int32_t id;
  int32_t parent;    // the id of the element that holds it
  int32_t instance;  // always kActionInstance
};
#pragma pack(pop)

static_assert(sizeof(ActionRef) == 12, "ActionRef is three 32-bit integers");

constexpr int32_t kActionInstance = -2;

}  // namespace qmx
