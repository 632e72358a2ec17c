#ifndef _WIN32
#include "control/message_window.h"

// No windows off Windows: the control logs the failure and works without a timer or stop notices.
HWND CreateMessageWindow(IMessageWindowOwner*) {
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

void DestroyMessageWindow(HWND) {}

UINT_PTR StartWindowTimer(HWND, UINT_PTR, UINT) { return 0; }

void StopWindowTimer(HWND, UINT_PTR) {}
#endif
