// A message-only window for the media-link tests, and waiting for the stop notice on it.
#pragma once

#include "base/platform.h"
#include "plugins/outside_interfaces.h"

class LinkWindow {
 public:
  LinkWindow()
      : m_hWnd(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                               nullptr)) {}
  ~LinkWindow() { Destroy(); }
  LinkWindow(const LinkWindow&) = delete;
  LinkWindow& operator=(const LinkWindow&) = delete;

  HWND Handle() const { return m_hWnd; }
  void Destroy() {
    if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }

  // Pumps this thread's messages until the notice reaches this window or the time is up.
  bool WaitForNotice(DWORD timeoutMs, MSG* notice) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
      MSG msg;
      while (PeekMessageA(&msg, m_hWnd, 0, 0, PM_REMOVE)) {
        if (msg.message == kVorlaLinkMessage) {
          *notice = msg;
          return true;
        }
        DispatchMessageA(&msg);
      }
      Sleep(10);
    }
    return false;
  }


 private:
  HWND m_hWnd;
};
