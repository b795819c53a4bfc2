// The one place that picks the real Windows headers or the Linux stand-in.
// The editor's code is the same on both.
#pragma once

#if defined(_WIN32)
#include <windows.h>
// commctrl.h needs the types of windows.h; keep it below.
#include <commctrl.h>
#else
#include "platform/win32_standin.h"
#endif
