// The log call every layer uses, and the process's one log it writes to. The module object configures
// that log when the library is loaded and closes it at unload; low layers log without knowing the control.
#pragma once

#include "base/platform.h"

class CQelCtrlLog;

// Formats (always, even for a line that will not be written) into 1023 characters at most and writes it
// when `level` is at or below the configured level. Returns 1.
int Log(LONG level, const char* format, ...) QEL_PRINTF_FORMAT(2, 3);

// The process's log, also for the plug-in loader that shares its stream. Built on first use, so it is
// there for every static object that logs, and destroyed after them.
CQelCtrlLog& ProcessLog();
