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

// The control's window and its one timer, released in one place: the timer goes with its window, and the
// window with its holder or at Reset. An empty holder has neither.
class CMessageWindow {
 public:
  CMessageWindow() = default;
  ~CMessageWindow() { Reset(); }
  CMessageWindow(const CMessageWindow&) = delete;
  CMessageWindow& operator=(const CMessageWindow&) = delete;

  // False, with the last error set, when the window cannot be made.
  bool Create(IMessageWindowOwner* owner) {
    m_hWnd = CreateMessageWindow(owner);
    return m_hWnd != nullptr;
  }
  // Stops a running timer first. The new timer's identifier, or 0 (with the last error set when the
  // window exists).
  UINT_PTR StartTimer(UINT_PTR timerId, UINT periodMs) {
    StopTimer();
    if (m_hWnd != nullptr) m_nTimerID = StartWindowTimer(m_hWnd, timerId, periodMs);
    return m_nTimerID;
  }
  void StopTimer() {
    if (m_nTimerID != 0) StopWindowTimer(m_hWnd, m_nTimerID);
    m_nTimerID = 0;
  }
  void Reset() {
    if (m_hWnd != nullptr) DestroyMessageWindow(m_hWnd);
    m_hWnd = nullptr;
    m_nTimerID = 0;
  }

  HWND Get() const { return m_hWnd; }
  UINT_PTR TimerID() const { return m_nTimerID; }

 private:
  HWND m_hWnd = nullptr;
  UINT_PTR m_nTimerID = 0;
};
