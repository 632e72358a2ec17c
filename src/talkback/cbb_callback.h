// The channel through which a control asks its host for what only the host knows or does: client keys,
// the epoch time, delivery of INMS alarms. Every request is numbered by an opcode and goes through
// SendOpCode, one at a time.
#pragma once

#include "base/locks.h"
#include "host_interfaces/host_interfaces.h"
#include "base/com_ref.h"

class CQelCBBCallback {
 public:
  CQelCBBCallback() = default;
  virtual ~CQelCBBCallback();
  CQelCBBCallback(const CQelCBBCallback&) = delete;
  CQelCBBCallback& operator=(const CQelCBBCallback&) = delete;

  // Takes the interface (null drops it) and asks once whether the host has its callback enabled.
  void SetCBBInterface(CBBInfo3* pCBB);
  // 1 when the host reports the callback enabled; 0 otherwise, also with no interface.
  int CheckCallbackStatus();
  // 1 when the host accepted the request. The host's result code goes to *pRCode (when given) even after
  // a failure, but not when the channel is down and nothing was asked.
  int SendOpCode(LONG opCode, const char* opName, void* pBuffer, LONG nSize, LONG* pRCode);

 private:
  CComRef<CBBInfo3> m_pCBB;
  LONG m_bEnabled = 0;
  CCSLock m_lock;
};
