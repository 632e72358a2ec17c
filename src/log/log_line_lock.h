// Two processes may append to one log file (two hosts started from one folder share the default file).
// Append-only access keeps their writes apart on Windows, but Wine serves such a write as "take the size,
// then write there", so two writers can still land on one offset. Every writer of the shared log therefore
// holds an exclusive lock on one byte far past any data for a line's whole write, flush included. Off
// Windows, O_APPEND needs no help and the lock is nothing. Header-only, so the plug-ins that write into the
// shared log take the same lock.
#pragma once

#include <cstdio>

#include "base/platform.h"

#ifdef _WIN32
#include <io.h>
#endif

class LogLineLock {
 public:
  explicit LogLineLock(FILE* stream) {
#ifdef _WIN32
    m_region.Offset = kLockedByte;
    m_file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    // A file system without locks still gets the line: the lock only keeps other processes' lines apart.
    if (m_file != INVALID_HANDLE_VALUE && !LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &m_region))
      m_file = INVALID_HANDLE_VALUE;
#else
    (void)stream;
#endif
  }
  ~LogLineLock() {
#ifdef _WIN32
    if (m_file != INVALID_HANDLE_VALUE) UnlockFileEx(m_file, 0, 1, 0, &m_region);
#endif
  }
  LogLineLock(const LogLineLock&) = delete;
  LogLineLock& operator=(const LogLineLock&) = delete;

 private:
#ifdef _WIN32
  // A log is moved aside at 10 MB at most: data never reaches this byte, so the lock never bars a read.
  static constexpr DWORD kLockedByte = 0xFFFFFFFEu;
  HANDLE m_file = INVALID_HANDLE_VALUE;
  OVERLAPPED m_region{};
#endif
};
