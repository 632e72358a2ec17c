// The log call every layer uses, and the process's one log it writes to. The module object configures
// that log when the library is loaded and closes it at unload; low layers log without knowing the control.
#pragma once

#include <cstdint>

#include "base/platform.h"

class CQelCtrlLog;

// Writes the line, formatted into 1023 characters at most, when `level` is at or below the configured
// level; the level is tested first, so a line that will not be written is never formatted. Returns 1.
int Log(LONG level, const char* format, ...) QEL_PRINTF_FORMAT(2, 3);

// A handle or pointer as a line shows it with %08X, as the host terminal's own logs show them: its low
// 32 bits.
inline unsigned int Hex32(const void* pointer) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pointer));
}

// The process's log, also for the plug-in loader that shares its stream. Built on first use, so it is
// there for every static object that logs, and destroyed after them.
CQelCtrlLog& ProcessLog();
