// Critical-section wrappers: a section that knows whether it is alive, and a scoped hold on a bare one.
#pragma once

#include "base/platform.h"

class CCSLock {
 public:
  CCSLock();
  virtual ~CCSLock();
  CCSLock(const CCSLock&) = delete;
  CCSLock& operator=(const CCSLock&) = delete;

  // Both do nothing once the destructor has run, so a late caller cannot touch a deleted section.
  void Lock();
  void Unlock();

  CRITICAL_SECTION m_cs;
  LONG m_bInitialized;
};

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
