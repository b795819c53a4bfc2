#include "platform/win32_standin.h"

namespace {
int g_initCommonControlsCount = 0;
}  // namespace

void WINAPI InitCommonControls(void) {
  ++g_initCommonControlsCount;
}

int WINAPI standin_initCommonControlsCount(void) {
  return g_initCommonControlsCount;
}
