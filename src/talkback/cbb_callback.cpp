#include "talkback/cbb_callback.h"

#include "log/failure_lines.h"
#include "log/log.h"

CQelCBBCallback::~CQelCBBCallback() { m_pCBB.Reset(); }

void CQelCBBCallback::SetCBBInterface(CBBInfo3* pCBB) {
  const CAutoLock hold = m_lock.Hold();
  m_pCBB = CComRef<CBBInfo3>::Share(pCBB);
  m_bEnabled = 0;
  if (pCBB != nullptr) m_bEnabled = CheckCallbackStatus();
}

int CQelCBBCallback::CheckCallbackStatus() {
  CBBInfo3* pCBB = m_pCBB.Get();
  if (pCBB == nullptr) return 0;
  Log(3, "CBBCallback: Checking CBB callback status...");
  LONG status = 0;
  pCBB->GetCallbackStatus(&status);
  const int enabled = (status & 1) != 0 ? 1 : 0;
  Log(1, "CBBCallback: CBB callback is %s", enabled ? "enabled" : "disabled");
  return enabled;
}

int CQelCBBCallback::SendOpCode(LONG opCode, const char* opName, void* pBuffer, LONG nSize, LONG* pRCode) {
  const CAutoLock hold = m_lock.Hold();
  CBBInfo3* pCBB = m_pCBB.Get();
  if (pCBB == nullptr || m_bEnabled == 0) return 0;
  Log(3, "CBBCallback: OpCode=%d, OpName=%s, Size=%d, Sending...", static_cast<int>(opCode),
      opName != nullptr ? opName : "", static_cast<int>(nSize));
  LONG rCode = 0;
  const HRESULT hr = pCBB->Request(opCode, pBuffer, nSize, &rCode);
  int accepted = 0;
  if (SUCCEEDED(hr)) {
    Log(3, "CBBCallback: RCode=%d, Success", static_cast<int>(rCode));
    accepted = 1;
  } else {
    Log(1, kFailedHostRequest, static_cast<int>(rCode), static_cast<unsigned>(hr));
  }
  if (pRCode != nullptr) *pRCode = rCode;
  return accepted;
}
