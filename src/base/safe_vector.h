// A growable array under its own critical section. Callers that need several operations to be atomic
// hold the section themselves: it is re-entrant, and every operation takes it again inside.
#pragma once

#include <vector>

#include "base/locks.h"

template <typename T>
class CSafeVector {
 public:
  explicit CSafeVector(LONG maxSize = -1) : m_nMaxSize(maxSize) { InitializeCriticalSection(&m_csItems); }

  virtual ~CSafeVector() {
    {
      CAutoLock hold(&m_csItems);
      m_vec.clear();
    }
    DeleteCriticalSection(&m_csItems);
  }
  CSafeVector(const CSafeVector&) = delete;
  CSafeVector& operator=(const CSafeVector&) = delete;

  // Index of the first element equal to value, -1 when none.
  virtual LONG Find(const T& value) {
    CAutoLock hold(&m_csItems);
    for (size_t i = 0; i < m_vec.size(); ++i)
      if (m_vec[i] == value) return static_cast<LONG>(i);
    return -1;
  }

  virtual bool SetAt(LONG index, const T& value) {
    CAutoLock hold(&m_csItems);
    if (!InRange(index)) return false;
    m_vec[static_cast<size_t>(index)] = value;
    return true;
  }

  virtual bool GetAt(LONG index, T& out) {
    CAutoLock hold(&m_csItems);
    if (!InRange(index)) return false;
    out = m_vec[static_cast<size_t>(index)];
    return true;
  }

  virtual bool Add(const T& value) {
    CAutoLock hold(&m_csItems);
    if (IsFull()) return false;
    m_vec.push_back(value);
    return true;
  }

  virtual bool AddHead(const T& value) {
    CAutoLock hold(&m_csItems);
    if (IsFull()) return false;
    m_vec.insert(m_vec.begin(), value);
    return true;
  }

  // Find and RemoveAt each lock on their own.
  virtual void Remove(const T& value) { RemoveAt(Find(value)); }

  virtual void RemoveAt(LONG index) {
    CAutoLock hold(&m_csItems);
    if (InRange(index)) m_vec.erase(m_vec.begin() + index);
  }

  virtual void RemoveHead() {
    CAutoLock hold(&m_csItems);
    if (!m_vec.empty()) m_vec.erase(m_vec.begin());
  }

  virtual void RemoveTail() {
    CAutoLock hold(&m_csItems);
    if (!m_vec.empty()) m_vec.pop_back();
  }

  virtual void RemoveAll() {
    CAutoLock hold(&m_csItems);
    m_vec.clear();
  }

  // The caller guarantees 0 <= index < count and holds the section while it uses the reference.
  virtual T& ElementAt(LONG index) {
    CAutoLock hold(&m_csItems);
    return m_vec[static_cast<size_t>(index)];
  }
  virtual const T& ElementAt(LONG index) const {
    CAutoLock hold(&m_csItems);
    return m_vec[static_cast<size_t>(index)];
  }

  LONG GetCount() {
    CAutoLock hold(&m_csItems);
    return static_cast<LONG>(m_vec.size());
  }

  // Holds the section for a walk of several operations, for as long as the guard lives.
  [[nodiscard]] CAutoLock Hold() { return CAutoLock(&m_csItems); }

 private:
  bool InRange(LONG index) const { return index >= 0 && static_cast<size_t>(index) < m_vec.size(); }
  bool IsFull() const { return m_nMaxSize != -1 && static_cast<LONG>(m_vec.size()) >= m_nMaxSize; }

  std::vector<T> m_vec;
  LONG m_nMaxSize;
  mutable CRITICAL_SECTION m_csItems;
};
