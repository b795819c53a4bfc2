// The kinds of settings-page element, with their options, as the host reads
// them from the status an element is created with.
#pragma once

#include <cstdint>

namespace qmx {

constexpr uint32_t kPageStatus = 0x10;  // the plug-in's page itself
constexpr uint32_t kGroupStart = 0xF0000;
constexpr uint32_t kGroupEnd = 0x100000;
constexpr uint32_t kCustomWindow = 0x50000;  // a window the plug-in makes (the rule list)
constexpr uint32_t kLabel = 0x90040;
constexpr uint32_t kTextField = 0xB0000;
constexpr uint32_t kChoice = 0x16D000;
constexpr uint32_t kButton = 0xE0040;
constexpr uint32_t kSaveButton = 0xE0002;
constexpr uint32_t kCheckBox = 0x60000;
constexpr uint32_t kFormattedText = 0x180000;

}  // namespace qmx
