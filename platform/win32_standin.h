// A small Linux stand-in for the user32 and comctl32 functions the plug-in
// calls, with Windows' own names, types, constants and calling convention.
#pragma once

#include <cstdint>

#include "shell/calling_convention.h"

#define WINAPI QMX_STDCALL
#define QMX_STANDIN_API extern "C" __attribute__((visibility("default")))

// comctl32: registers the common control window classes.
QMX_STANDIN_API void WINAPI InitCommonControls(void);

// The stand-in's own, for tests and the simulator: how often the common
// controls were initialised since the library was loaded.
QMX_STANDIN_API int WINAPI standin_initCommonControlsCount(void);
