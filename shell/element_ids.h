// The ids the plug-in defines for itself: configuration columns, settings-page
// elements and its icon, all in 889000 to 889015. One number may name both a
// column and a page element (889006, 889007).
#pragma once

#include <cstdint>

enum ColumnId : int32_t {
  COLUMN_FROM = 889001,
  COLUMN_TO = 889002,
  COLUMN_INCOMING = 889005,        // "Rewordix/Przychodzace": correct incoming messages too
  COLUMN_CASE_SENSITIVE = 889006,  // "Rewordix/CaseSensitive": word rules match case
  COLUMN_TYPE = 889007,
};

enum ElementId : int32_t {
  ICON_ID = 889000,
  PAGE_ID = 889003,
  ELEMENT_RELOAD = 889004,  // no element on the page; its event reloads the rules
  ELEMENT_CASE_SENSITIVE = 889006,
  ELEMENT_RULE_LIST = 889007,
  ELEMENT_FROM_FIELD = 889009,
  ELEMENT_TO_FIELD = 889010,
  ELEMENT_ADD_BUTTON = 889011,
  ELEMENT_DELETE_BUTTON = 889012,
  ELEMENT_EDIT_BUTTON = 889013,
  ELEMENT_TYPE_CHOICE = 889014,
  ELEMENT_SAVE_BUTTON = 889015,
};
