// The reference count of the library's own objects, written once. The object's AddRef and Release hand
// over to it, and it deletes the object with its last reference. The control is counted on the host's
// user-interface thread only, so its count is plain; the video host is reached from the proxies' threads
// too, so its count is interlocked.
#pragma once

#include "base/platform.h"

class CPlainCount {
 public:
  explicit CPlainCount(LONG initial) : m_nCount(initial) {}
  LONG Up() { return ++m_nCount; }
  LONG Down() { return --m_nCount; }
  LONG Value() const { return m_nCount; }

 private:
  LONG m_nCount;
};

class CInterlockedCount {
 public:
  explicit CInterlockedCount(LONG initial) : m_nCount(initial) {}
  LONG Up() { return InterlockedIncrement(&m_nCount); }
  LONG Down() { return InterlockedDecrement(&m_nCount); }
  LONG Value() const { return m_nCount; }

 private:
  LONG volatile m_nCount;
};

template <class Count>
class CObjectCount {
 public:
  explicit CObjectCount(LONG initial) : m_count(initial) {}
  CObjectCount(const CObjectCount&) = delete;
  CObjectCount& operator=(const CObjectCount&) = delete;

  ULONG AddRef() { return static_cast<ULONG>(m_count.Up()); }
  // The count lives inside `object`: nothing of this is touched after the delete.
  template <class Object>
  ULONG Release(Object* object) {
    const LONG count = m_count.Down();
    if (count == 0) delete object;
    return static_cast<ULONG>(count);
  }
  LONG Value() const { return m_count.Value(); }

 private:
  Count m_count;
};
