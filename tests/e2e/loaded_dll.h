// The real QelVorlaProxy.dll, loaded the way the host terminal loads it, with its log settings in the
// registry as a user sets them. The settings are read when the library loads, so they go in first.
#pragma once

#include <string>

#include "base/platform.h"

class LoadedDll {
 public:
  // Writes the log settings under HKEY_LOCAL_MACHINE, loads the library, and removes the settings again.
  // A size limit of 0 leaves the value out (the default limit).
  LoadedDll(const std::string& logFile, DWORD level, DWORD maxSizeK = 0);
  ~LoadedDll();
  LoadedDll(const LoadedDll&) = delete;
  LoadedDll& operator=(const LoadedDll&) = delete;

  bool Loaded() const { return m_module != nullptr; }
  // A new control of type 53 through ControlFactoryX; null when refused.
  IUnknown* CreateControl(LONG type = 53);
  LONG Version(LONG* first, LONG* second);
  // Unloads now (the destructor does it otherwise).
  void Unload();

 private:
  HMODULE m_module = nullptr;
};

// Pumps this thread's messages for about `milliseconds`, so timers tick and posted notices arrive.
void PumpMessages(int milliseconds);
