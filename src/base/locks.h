// Critical-section wrappers: a scoped hold on a bare section, and a section that knows whether it is alive.
#pragma once

#include "base/platform.h"

// Enters the section for the life of a block. Takes a bare section: the log, the error base, the plug-in
// bindings and the source configurations keep a plain CRITICAL_SECTION member.
class CAutoLock {
 public:
  explicit CAutoLock(CRITICAL_SECTION* pcs);
  virtual ~CAutoLock();
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CRITICAL_SECTION* m_pcs;
};

class CCSLock {
 public:
  CCSLock();
  virtual ~CCSLock();
  CCSLock(const CCSLock&) = delete;
  CCSLock& operator=(const CCSLock&) = delete;

  // Both do nothing once the destructor has run, so a late caller cannot touch a deleted section.
  void Lock();
  void Unlock();
  // Held for the life of the returned value; only while the section is alive.
  [[nodiscard]] CAutoLock Hold() { return CAutoLock(&m_section); }
  bool IsAlive() const { return m_bInitialized != 0; }

 private:
  CRITICAL_SECTION m_section;
  LONG m_bInitialized;
};
