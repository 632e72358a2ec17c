#include "control/module.h"

#include <cstdarg>

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

CQelCtrlLog& ProcessLog() { return g_module.m_log; }

int Log(LONG level, const char* format, ...) {
  char message[kLogMessageBufferSize];
  va_list args;
  va_start(args, format);
  FormatLogMessage(message, format, args);
  va_end(args);
  g_module.m_log.Write(message, level);
  return 1;
}
