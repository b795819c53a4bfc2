// The plug-in's identity, as the host's queries receive it.
#pragma once

#include <cstdint>

namespace qmx {

// A macro so that texts built at compile time can embed it.
#define QMX_VERSION_TEXT "0.0.5beta"
#define QMX_PLUGIN_NAME "Quillmax"

constexpr int32_t kPluginNumber = 889;
constexpr int32_t kPluginKind = 665;

// Texts the host may keep by address for as long as the DLL is loaded.
extern const char kPluginVersion[];
extern const char kPluginName[];

}  // namespace qmx
