// The process log as a proxy plug-in library sees it: the stream address, level and lock it was handed by
// "ProxySetLogFile". Lines go through the log's current stream under the log's own lock, stamped and
// prefixed with the library's name as the real library writes them.
#pragma once

#include <cstdio>
#include <mutex>

#include "base/platform.h"
#include "log/log_line_lock.h"

class SharedLog {
 public:
  explicit SharedLog(const char* libraryName) : m_libraryName(libraryName) {}

  void Attach(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock);
  // Written when `level` is within the level the log was handed; the log may have been closed (null
  // stream) or reopened under a new stream since.
  void Write(LONG level, const char* text);
  void WriteF(LONG level, const char* format, ...) QEL_PRINTF_FORMAT(3, 4);

 private:
  const char* m_libraryName;
  std::mutex m_mutex;
  FILE** m_ppStream = nullptr;
  LONG m_nLevel = 0;
  CRITICAL_SECTION* m_pLock = nullptr;
  LogLineLockSection m_lineLockSection;
};
