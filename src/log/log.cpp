#include "log/log.h"

#include <cstdarg>

#include "log/ctrl_log.h"

CQelCtrlLog& ProcessLog() {
  static CQelCtrlLog log;
  return log;
}

// The level is tested before anything is formatted: most calls carry lines above the level in use.
int Log(LONG level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  ProcessLog().VLogF(level, format, args);
  va_end(args);
  return 1;
}
