// The control's hidden message-only window: it receives the heartbeat timer and the media link's
// kill-stream notice on the host's UI thread. Off Windows there are no windows: creation fails, and so does
// every timer.
#pragma once

#include "base/platform.h"
#include "plugins/outside_interfaces.h"

inline constexpr const char* kMessageWindowName = "CQelVorlaProxyCtrl";

// What the window routes its two messages to.
class IMessageWindowOwner {
 public:
  virtual void OnTimer(UINT_PTR timerId) = 0;
  virtual LRESULT OnVorlaLinkKillStream(WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~IMessageWindowOwner() = default;
};

// Creates a message-only window (parent HWND_MESSAGE, style WS_CHILD) of the library's own class that
// routes WM_TIMER and the kill-stream notice to `owner`; null on failure, with the last error set.
HWND CreateMessageWindow(IMessageWindowOwner* owner);
void DestroyMessageWindow(HWND window);

// The window's timer, whose ticks reach the owner's OnTimer. Start gives the timer's identifier, or 0 with
// the last error set; off Windows it always gives 0.
UINT_PTR StartWindowTimer(HWND window, UINT_PTR timerId, UINT periodMs);
void StopWindowTimer(HWND window, UINT_PTR timerId);
