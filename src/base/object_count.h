// The reference counts of COM objects (see CComObject). The control is counted on the host's
// user-interface thread only, so its count is plain; the video host is reached from the proxies' threads
// too, so its count is interlocked. Both delete their object with its last reference; a watched count
// does not.
#pragma once

#include "base/platform.h"

class CPlainCount {
 public:
  static constexpr bool kDeletesObject = true;
  explicit CPlainCount(LONG initial) : m_nCount(initial) {}
  LONG Up() { return ++m_nCount; }
  LONG Down() { return --m_nCount; }
  LONG Value() const { return m_nCount; }

 private:
  LONG m_nCount;
};

class CInterlockedCount {
 public:
  static constexpr bool kDeletesObject = true;
  explicit CInterlockedCount(LONG initial) : m_nCount(initial) {}
  LONG Up() { return InterlockedIncrement(&m_nCount); }
  LONG Down() { return InterlockedDecrement(&m_nCount); }
  LONG Value() const { return m_nCount; }

 private:
  LONG volatile m_nCount;
};

// Counted from any thread, for an object whose owner ends its life whatever the count says.
class CWatchedCount : public CInterlockedCount {
 public:
  static constexpr bool kDeletesObject = false;
  using CInterlockedCount::CInterlockedCount;
};
