#include "control/module.h"

#include "log/log.h"

CQelCtrlModule::CQelCtrlModule() {
  try {
    if (m_log.ReadSettings() == 0) m_log.UseSettings(kDefaultLogFile, 1, m_log.MaxSize());
  } catch (...) {
    // A registry failure must not stop the library from loading; the log keeps its defaults.
  }
}

CQelCtrlModule::~CQelCtrlModule() {
  try {
    m_log.Close();
  } catch (...) {
  }
}

namespace {
// Built in this order when the library loads and destroyed in the reverse order when it unloads.
CQelCtrlModule g_module;
CQelVorlaProxyApp g_app;
}  // namespace

CQelCtrlModule& TheModule() { return g_module; }

CQelVorlaProxyApp& TheApp() { return g_app; }
