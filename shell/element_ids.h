// The ids the plug-in defines for itself: configuration columns, settings-page
// elements and its icon, all in 889000 to 889015. One number may name both a
// column and a page element (889006, 889007).
#pragma once

#include <cstdint>

namespace qmx {

enum ColumnId : int32_t {
  kColumnFrom = 889001,
  kColumnTo = 889002,
  kColumnIncoming = 889005,       // "Rewordix/Przychodzace": correct incoming messages too
  kColumnCaseSensitive = 889006,  // "Rewordix/CaseSensitive": word rules match case
  kColumnType = 889007,
};

enum ElementId : int32_t {
  kElementIcon = 889000,
  kElementPage = 889003,
  kElementReload = 889004,  // no element on the page; its event reloads the rules
  kElementCaseSensitive = 889006,
  kElementRuleList = 889007,
  kElementFromField = 889009,
  kElementToField = 889010,
  kElementAddButton = 889011,
  kElementDeleteButton = 889012,
  kElementEditButton = 889013,
  kElementTypeChoice = 889014,
  kElementSaveButton = 889015,
};

}  // namespace qmx
