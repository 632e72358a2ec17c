#include "shared_log.h"

#include <cstdarg>
#include <ctime>
#include <string>

#ifndef _WIN32
#include <sys/time.h>
#endif

#include "log/log_escape.h"

namespace {

// "MM/DD/YY-HH:MM:SS.mmm", local time, as the log stamps its own lines.
void FormatTimestamp(char (&stamp)[32]) {
  int year, month, day, hour, minute, second, millisecond;
#ifdef _WIN32
  SYSTEMTIME now;
  GetLocalTime(&now);
  year = now.wYear, month = now.wMonth, day = now.wDay;
  hour = now.wHour, minute = now.wMinute, second = now.wSecond, millisecond = now.wMilliseconds;
#else
  timeval now;
  gettimeofday(&now, nullptr);
  tm local;
  localtime_r(&now.tv_sec, &local);
  year = local.tm_year + 1900, month = local.tm_mon + 1, day = local.tm_mday;
  hour = local.tm_hour, minute = local.tm_min, second = local.tm_sec;
  millisecond = static_cast<int>(now.tv_usec / 1000);
#endif
  std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d-%02d:%02d:%02d.%03d", month, day, year % 100, hour, minute,
                second, millisecond);
}

}  // namespace

void SharedLog::Attach(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_ppStream = ppStream;
  m_nLevel = level;
  m_pLock = pLock;
}

void SharedLog::Write(LONG level, const char* text) {
  FILE** ppStream;
  CRITICAL_SECTION* pLock;
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_ppStream == nullptr || m_pLock == nullptr || level > m_nLevel) return;
    ppStream = m_ppStream;
    pLock = m_pLock;
  }
  char stamp[32];
  FormatTimestamp(stamp);
  // Host and source texts reach these lines too: escaped as the library escapes its own.
  const std::string escaped = EscapeLogText(text != nullptr ? text : "");
  EnterCriticalSection(pLock);
  if (FILE* stream = *ppStream) {
    LogLineLock otherProcesses(m_lineLockSection);
    std::fprintf(stream, "%s %s: %s\r\n", stamp, m_libraryName, escaped.c_str());
    std::fflush(stream);
  }
  LeaveCriticalSection(pLock);
}

void SharedLog::WriteF(LONG level, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Write(level, text);
}
