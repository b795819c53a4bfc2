// The plug-in's configuration columns and settings page, declared when the
// host asks.
#pragma once

#include <cstdint>

namespace qmx {

// CALL_SET_COLUMNS: logs and declares the five columns. Answers 1.
intptr_t onSetColumns();

// CALL_UI_REGISTER: logs, registers the icon and creates the page's elements
// in order. Answers 1.
intptr_t onUiRegister();

}  // namespace qmx
