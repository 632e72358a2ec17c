#include "log/log.h"

#include <cstdarg>

#include "log/ctrl_log.h"

CQelCtrlLog& ProcessLog() {
  static CQelCtrlLog log;
  return log;
}

int Log(LONG level, const char* format, ...) {
  char message[kLogMessageBufferSize];
  va_list args;
  va_start(args, format);
  FormatLogMessage(message, format, args);
  va_end(args);
  ProcessLog().Write(message, level);
  return 1;
}
