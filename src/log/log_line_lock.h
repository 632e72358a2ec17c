// Two processes may append to one log file (two hosts started from one folder share the default file).
// Append-only access keeps their writes apart on Windows, but Wine serves such a write as "take the size,
// then write there", so two writers could land on one offset. Every writer of the shared log therefore
// holds the line lock for a line's whole write, flush included. Off Windows, O_APPEND needs no help and
// the lock is nothing. Header-only, so the plug-ins that write into the shared log take the same lock.
//
// The lock is one 64-bit word in a named shared section, "Local\QelVorlaProxy.LogLineLock" (8 bytes, page
// file backed, zero when created): the low 32 bits hold the process id of the holder, 0 when free; the
// high 32 bits count the holdings, so a waiter tells a new holding from an old one. Taking and releasing
// are interlocked operations on that word, with no call into the system: a lock on the file itself cost a
// round trip to the Wine server for every line, several times the line. One word serves every log file
// of the session because a plug-in sees only the stream, which a reopen may replace at the same address:
// a lock named for the file would have to be looked up again before every line.
//
// The rule for every writer (C plug-ins included):
//   take:    read the word; while its holder is not 0, wait (below); then compare-exchange it to
//            ((count + 1) << 32) | own process id, starting again if it changed meanwhile;
//   write:   the whole line and the flush;
//   release: compare-exchange the word from what you wrote to (count << 32) | 0; if it no longer holds
//            what you wrote, another writer took it over, and you leave it alone.
//   wait:    spin briefly, then yield; a holder whose process has ended, or whose holding has not changed
//            for kLogLineLockStaleMs, is taken over by a compare-exchange from the value seen.
#pragma once

#include "base/platform.h"

#ifdef _WIN32

inline constexpr const char* kLogLineLockName = "Local\\QelVorlaProxy.LogLineLock";
// A line's write takes microseconds; a holding this old belongs to a process stopped or gone.
inline constexpr DWORD kLogLineLockStaleMs = 500;

namespace log_line_lock {

constexpr unsigned kSpins = 200;
constexpr unsigned kYields = 50;

inline DWORD Holder(LONG64 word) { return static_cast<DWORD>(static_cast<ULONG64>(word) & 0xFFFFFFFFu); }

inline LONG64 NextHolding(LONG64 seen, DWORD holder) {
  const ULONG64 count = (static_cast<ULONG64>(seen) >> 32) + 1;
  return static_cast<LONG64>((count << 32) | holder);
}

// True only when the process is known to have ended; a process we may not inspect counts as alive.
inline bool ProcessHasEnded(DWORD processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

}  // namespace log_line_lock

// Takes the lock; returns the value written, which the release needs.
inline LONG64 TakeLogLineLock(volatile LONG64* word) {
  using namespace log_line_lock;
  const DWORD self = GetCurrentProcessId();
  LONG64 watched = 0;
  DWORD watchedSince = 0;
  for (unsigned attempt = 0;; ++attempt) {
    const LONG64 seen = InterlockedCompareExchange64(word, 0, 0);  // an atomic read on 32-bit too
    if (Holder(seen) == 0) {
      const LONG64 mine = NextHolding(seen, self);
      if (InterlockedCompareExchange64(word, mine, seen) == seen) return mine;
      continue;
    }
    if (attempt < kSpins) {
      YieldProcessor();
      continue;
    }
    const DWORD now = GetTickCount();
    if (seen != watched) {
      watched = seen;
      watchedSince = now;
    } else if (now - watchedSince >= kLogLineLockStaleMs || ProcessHasEnded(Holder(seen))) {
      const LONG64 mine = NextHolding(seen, self);
      if (InterlockedCompareExchange64(word, mine, seen) == seen) return mine;
    }
    Sleep(attempt < kSpins + kYields ? 0 : 1);
  }
}

inline void ReleaseLogLineLock(volatile LONG64* word, LONG64 mine) {
  const LONG64 released = static_cast<LONG64>(static_cast<ULONG64>(mine) & ~ULONG64{0xFFFFFFFFu});
  InterlockedCompareExchange64(word, released, mine);
}

// The section, mapped for the life of the log object that writes lines.
class LogLineLockSection {
 public:
  LogLineLockSection() {
    m_section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG64),
                                   kLogLineLockName);
    if (m_section != nullptr)
      m_word = static_cast<volatile LONG64*>(MapViewOfFile(m_section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG64)));
  }
  ~LogLineLockSection() {
    if (m_word != nullptr) UnmapViewOfFile(const_cast<LONG64*>(m_word));
    if (m_section != nullptr) CloseHandle(m_section);
  }
  LogLineLockSection(const LogLineLockSection&) = delete;
  LogLineLockSection& operator=(const LogLineLockSection&) = delete;

  // Null when the system gave no section: lines are then written without the lock.
  volatile LONG64* Word() const { return m_word; }

 private:
  HANDLE m_section = nullptr;
  volatile LONG64* m_word = nullptr;
};

// Holds the lock for one line.
class LogLineLock {
 public:
  explicit LogLineLock(const LogLineLockSection& section) : m_word(section.Word()) {
    if (m_word != nullptr) m_mine = TakeLogLineLock(m_word);
  }
  ~LogLineLock() {
    if (m_word != nullptr) ReleaseLogLineLock(m_word, m_mine);
  }
  LogLineLock(const LogLineLock&) = delete;
  LogLineLock& operator=(const LogLineLock&) = delete;

  // Whether this holding comes right after `previous`, so no other writer (another process, or another log
  // of this one) has held the lock since; `previous` becomes this holding. Without the lock nothing is known.
  bool Follows(ULONG& previous) const {
    if (m_word == nullptr) return false;
    const auto count = static_cast<ULONG>(static_cast<ULONG64>(m_mine) >> 32);
    const bool follows = count == previous + 1;
    previous = count;
    return follows;
  }

 private:
  volatile LONG64* m_word;
  LONG64 m_mine = 0;
};

#else

// O_APPEND keeps every process's writes apart: nothing to map, nothing to hold.
class LogLineLockSection {};
class LogLineLock {
 public:
  explicit LogLineLock(const LogLineLockSection&) {}
  LogLineLock(const LogLineLock&) = delete;
  LogLineLock& operator=(const LogLineLock&) = delete;
  // Other processes' appends are seen at the log's periodic size reading.
  bool Follows(ULONG&) const { return true; }
};

#endif
