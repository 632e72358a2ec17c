#include "base/locks.h"

CCSLock::CCSLock() : m_bInitialized(0) {
  InitializeCriticalSection(&m_section);
  m_bInitialized = 1;
}

CCSLock::~CCSLock() {
  if (m_bInitialized) DeleteCriticalSection(&m_section);
  m_bInitialized = 0;
}

void CCSLock::Lock() {
  if (m_bInitialized) EnterCriticalSection(&m_section);
}

void CCSLock::Unlock() {
  if (m_bInitialized) LeaveCriticalSection(&m_section);
}

CAutoLock::CAutoLock(CRITICAL_SECTION* pcs) : m_pcs(pcs) { EnterCriticalSection(m_pcs); }

CAutoLock::~CAutoLock() { LeaveCriticalSection(m_pcs); }
