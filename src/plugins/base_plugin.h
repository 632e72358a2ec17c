// Binds one outside library at run time by file name. Failures are recorded as error text for the
// caller to log; the binding never logs itself.
#pragma once

#include <stdexcept>
#include <string>

#include "base/module_handle.h"
#include "base/platform.h"
#include "log/qel_error.h"

// A caller's error (such as a null name), carrying the status the call would have failed with.
class CPluginCallError : public std::runtime_error {
 public:
  explicit CPluginCallError(HRESULT status) : std::runtime_error("plug-in call error"), m_hrStatus(status) {}
  HRESULT Status() const { return m_hrStatus; }

 private:
  HRESULT m_hrStatus;
};

class CBasePlugin : public CQELError {
 public:
  CBasePlugin();
  ~CBasePlugin() override;
  CBasePlugin(const CBasePlugin&) = delete;
  CBasePlugin& operator=(const CBasePlugin&) = delete;

  // Unloads first, even for the same path. 1 when loaded; 0 with the system's message as error text, the
  // earlier path kept.
  virtual LONG Load(const char* path);
  // 1 when no library is loaded afterwards; 0 when the platform refused, the handle kept.
  virtual LONG Unload();
  // 1 after an export call that found the library and the entry point, 0 after one that did not.
  virtual LONG GetStatus();
  // Exact comparison with the loaded path. A null name raises CPluginCallError(E_FAIL).
  virtual LONG IsPath(const char* name);
  virtual LONG IsLoaded();
  virtual std::string GetPath();

 protected:
  // Entry points are looked up at every call, never kept, so a reload is always seen. Null when the
  // library or the entry point is missing, with the reason recorded and the call marked failed.
  template <typename Function>
  Function FindExport(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(FindExportAddress(name)));
  }

 private:
  FARPROC FindExportAddress(const char* name);

  CModuleHandle m_module;
  LONG m_bCallOK;
  std::string m_strPath;

 protected:
  // Guards the module handle and the path, and is held across the proxy library's calls.
  CRITICAL_SECTION m_csPlugin;
};
