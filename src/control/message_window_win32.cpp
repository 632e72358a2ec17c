#ifdef _WIN32
#include "control/message_window.h"

namespace {

constexpr const char* kWindowClass = "QelVorlaProxyMessageWindow";

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* owner = reinterpret_cast<IMessageWindowOwner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (owner != nullptr) {
    if (message == WM_TIMER) {
      owner->OnTimer(static_cast<UINT_PTR>(wParam));
      return 0;
    }
    if (message == kVorlaLinkMessage) return owner->OnVorlaLinkKillStream(wParam, lParam);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&MessageWindowProc), &module);
  return module;
}

bool RegisterWindowClass(HINSTANCE module) {
  WNDCLASSA windowClass{};
  if (GetClassInfoA(module, kWindowClass, &windowClass)) return true;
  windowClass.lpfnWndProc = MessageWindowProc;
  windowClass.hInstance = module;
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HWND CreateMessageWindow(IMessageWindowOwner* owner) {
  HINSTANCE module = ThisModule();
  if (!RegisterWindowClass(module)) return nullptr;
  HWND window = CreateWindowExA(0, kWindowClass, kMessageWindowName, WS_CHILD, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                module, nullptr);
  if (window != nullptr) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return window;
}

void DestroyMessageWindow(HWND window) {
  if (window == nullptr) return;
  // Nothing may reach the owner once it lets go of its window.
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

UINT_PTR StartWindowTimer(HWND window, UINT_PTR timerId, UINT periodMs) {
  return SetTimer(window, timerId, periodMs, nullptr);
}

void StopWindowTimer(HWND window, UINT_PTR timerId) { KillTimer(window, timerId); }
#endif
