// The library's attachment to a process: the static module and application objects are built by the
// runtime before this runs; the application object's start-up follows.
#include "control/module.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    return TheApp().InitInstance();
  }
  return TRUE;
}
