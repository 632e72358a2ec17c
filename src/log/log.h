// The log call every module uses. It lives on the module object that owns the process's one log, so low
// layers log without knowing the control.
#pragma once

#include "base/platform.h"

class CQelCtrlLog;

// Formats (always, even for a line that will not be written) into 1023 characters at most and writes it
// when `level` is at or below the configured level. Returns 1.
int Log(LONG level, const char* format, ...) QEL_PRINTF_FORMAT(2, 3);

// The process's log, for the plug-in loader that shares its stream.
CQelCtrlLog& ProcessLog();
