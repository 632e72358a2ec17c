#include "plugins/base_plugin.h"

#include "base/locks.h"

namespace {
// Room for the system's message of a failed load; the text is cut to 253 characters.
constexpr size_t kLoadErrorBufferSize = 255;
}  // namespace

CBasePlugin::CBasePlugin() : m_bCallOK(1) { InitializeCriticalSection(&m_csPlugin); }

// The module goes with its holder, after the lock: nothing else reaches a binding being destroyed.
CBasePlugin::~CBasePlugin() { DeleteCriticalSection(&m_csPlugin); }

LONG CBasePlugin::Load(const char* path) {
  Unload();
  CAutoLock hold(&m_csPlugin);
  m_module = CModuleHandle::Load(path);
  if (!m_module) {
    char message[kLoadErrorBufferSize];
    SetErrorF(1, "%s", GetLastErrorText(message, sizeof message));
    return 0;
  }
  m_strPath = path;
  return 1;
}

LONG CBasePlugin::Unload() {
  CAutoLock hold(&m_csPlugin);
  return m_module.Free() ? 1 : 0;
}

LONG CBasePlugin::GetStatus() { return m_bCallOK; }

LONG CBasePlugin::IsPath(const char* name) {
  if (name == nullptr) throw CPluginCallError(E_FAIL);
  return m_strPath == name ? 1 : 0;
}

LONG CBasePlugin::IsLoaded() { return m_module ? 1 : 0; }

std::string CBasePlugin::GetPath() { return m_strPath; }

FARPROC CBasePlugin::FindExportAddress(const char* name) {
  if (!m_module) {
    SetError("Plug-in is not loaded", 1);
    m_bCallOK = 0;
    return nullptr;
  }
  FARPROC entry = GetProcAddress(m_module.Get(), name);
  if (entry == nullptr) {
    SetSystemError((std::string("Failed to call ") + name + " method").c_str());
    m_bCallOK = 0;
    return nullptr;
  }
  m_bCallOK = 1;
  return entry;
}
