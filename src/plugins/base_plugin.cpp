#include "plugins/base_plugin.h"

#include "base/locks.h"

namespace {
// Room for the system's message of a failed load; the text is cut to 253 characters.
constexpr size_t kLoadErrorBufferSize = 255;
}  // namespace

CBasePlugin::CBasePlugin() : m_hModule(nullptr), m_bCallOK(1) { InitializeCriticalSection(&m_csPlugin); }

CBasePlugin::~CBasePlugin() {
  {
    CAutoLock hold(&m_csPlugin);
    if (m_hModule != nullptr && FreeLibrary(m_hModule)) m_hModule = nullptr;
  }
  DeleteCriticalSection(&m_csPlugin);
}

LONG CBasePlugin::Load(const char* path) {
  Unload();
  CAutoLock hold(&m_csPlugin);
  m_hModule = LoadLibraryA(path);
  if (m_hModule == nullptr) {
    char message[kLoadErrorBufferSize];
    SetErrorF(1, "%s", GetLastErrorText(message, sizeof message));
    return 0;
  }
  m_strPath = path;
  return 1;
}

LONG CBasePlugin::Unload() {
  CAutoLock hold(&m_csPlugin);
  if (m_hModule == nullptr) return 1;
  if (!FreeLibrary(m_hModule)) return 0;
  m_hModule = nullptr;
  return 1;
}

LONG CBasePlugin::GetStatus() { return m_bCallOK; }

LONG CBasePlugin::IsPath(const char* name) {
  if (name == nullptr) throw CPluginCallError(E_FAIL);
  return m_strPath == name ? 1 : 0;
}

LONG CBasePlugin::IsLoaded() { return m_hModule != nullptr ? 1 : 0; }

std::string CBasePlugin::GetPath() { return m_strPath; }

FARPROC CBasePlugin::FindExportAddress(const char* name) {
  if (m_hModule == nullptr) {
    SetError("Plug-in is not loaded", 1);
    m_bCallOK = 0;
    return nullptr;
  }
  FARPROC entry = GetProcAddress(m_hModule, name);
  if (entry == nullptr) {
    SetSystemError((std::string("Failed to call ") + name + " method").c_str());
    m_bCallOK = 0;
    return nullptr;
  }
  m_bCallOK = 1;
  return entry;
}
