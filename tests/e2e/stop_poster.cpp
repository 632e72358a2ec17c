// A player of another process, as far as the stop protocol goes: it subscribes a window of its own to the
// media link, posts one stop notice carrying the control type given on its command line, and leaves.
//   stop_poster.exe UCID
#include <cstdlib>

#include "plugins/outside_interfaces.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HMODULE link = LoadLibraryA("QelVorlaLink.dll");
  if (link == nullptr) return 3;
  auto subscribe = reinterpret_cast<VOSubscribeMsgFn>(reinterpret_cast<void (*)()>(GetProcAddress(link, kVOSubscribeMsgExport)));
  auto unsubscribe =
      reinterpret_cast<VOUnsubscribeMsgFn>(reinterpret_cast<void (*)()>(GetProcAddress(link, kVOUnsubscribeMsgExport)));
  auto post = reinterpret_cast<VOPostMsgFn>(reinterpret_cast<void (*)()>(GetProcAddress(link, kVOPostMsgExport)));
  HWND window = CreateWindowExA(0, "STATIC", "stop poster", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (subscribe == nullptr || unsubscribe == nullptr || post == nullptr || window == nullptr) return 4;
  subscribe(1, window);
  const BYTE posted = post(1, window, std::atol(argv[1]));
  unsubscribe(1, window);
  DestroyWindow(window);
  FreeLibrary(link);
  return posted != 0 ? 0 : 5;
}
