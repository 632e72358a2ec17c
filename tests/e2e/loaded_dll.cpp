#include "loaded_dll.h"

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\Strovek L.P.\\QelVorlaProxy";

using ControlFactoryFn = LONG(WINAPI*)(LONG, IUnknown**, LONG);
using VersionFn = LONG(WINAPI*)(LONG, LONG*, LONG*);

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void WriteSettings(const std::string& logFile, DWORD level, DWORD maxSizeK) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExA(key, "LogFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(logFile.c_str()),
                 static_cast<DWORD>(logFile.size() + 1));
  RegSetValueExA(key, "LogFileLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
  if (maxSizeK != 0)
    RegSetValueExA(key, "LogMaxSizeK", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&maxSizeK), sizeof maxSizeK);
  RegCloseKey(key);
}

}  // namespace

LoadedDll::LoadedDll(const std::string& logFile, DWORD level, DWORD maxSizeK) {
  WriteSettings(logFile, level, maxSizeK);
  m_module = LoadLibraryA("QelVorlaProxy.dll");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
}

LoadedDll::~LoadedDll() { Unload(); }

void LoadedDll::Unload() {
  if (m_module != nullptr) FreeLibrary(m_module);
  m_module = nullptr;
}

IUnknown* LoadedDll::CreateControl(LONG type) {
  IUnknown* control = nullptr;
  if (Export<ControlFactoryFn>(m_module, "ControlFactoryX")(type, &control, 0) != 1) return nullptr;
  return control;
}

LONG LoadedDll::Version(LONG* first, LONG* second) {
  return Export<VersionFn>(m_module, "Version")(0, first, second);
}

void PumpMessages(int milliseconds) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(5);
  }
}
