// The library's module object: built when the library is loaded, before any export can be called, and
// destroyed at unload. It owns the registry of live controls and configures the process's log.
#pragma once

#include "control/control_registry.h"
#include "log/ctrl_log.h"
#include "log/log.h"

class CQelCtrlModule {
 public:
  CQelCtrlModule();
  virtual ~CQelCtrlModule();
  CQelCtrlModule(const CQelCtrlModule&) = delete;
  CQelCtrlModule& operator=(const CQelCtrlModule&) = delete;

  CControlRegistry& Controls() { return m_controls; }

  // The process's log: configured here at load and closed at unload.
  CQelCtrlLog& m_log = ProcessLog();

 private:
  CControlRegistry m_controls{m_log};
};

// The library's application object. No window framework is linked in, so its per-instance start-up has
// nothing to set up beyond reporting success when the library is attached to a process.
class CQelVorlaProxyApp {
 public:
  CQelVorlaProxyApp() = default;
  virtual ~CQelVorlaProxyApp() = default;
  virtual BOOL InitInstance() { return TRUE; }
};

CQelCtrlModule& TheModule();
CQelVorlaProxyApp& TheApp();
