// The host terminal's side of one control, as the simulator plays it: it answers the control's requests
// (client keys, epoch time, alarms, broadcast request) and traces what it receives, decoded.
#pragma once

#include <string>

#include "base/com_object.h"
#include "cell_trace.h"
#include "host_interfaces/host_interfaces.h"

// The host object lives as long as the simulator: its count is only watched, never acted on; the proxies'
// threads reach the host too.
class TraceHost : public CComObject<CWatchedCount, ICBBSetCtrl, CBBInfo3, ITalkBack, IHostSite> {
 public:
  TraceHost(int cell, TraceOutput& out, CellTrace::Clock clock = CellTrace::SteadySeconds)
      : CComObject(0), m_trace(cell, out, clock) {}
  ~TraceHost() override = default;

  IUnknown* Unknown() { return static_cast<ICBBSetCtrl*>(this); }
  CellTrace& Trace() { return m_trace; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE RequestBroadcast(LONG bRequest) override;
  HRESULT STDMETHODCALLTYPE CBBReserved3(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CBBReserved4(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CBBReserved5(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CBBReserved6(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CBBReserved7(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CBBReserved8(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CBBReserved9(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCallbackStatus(LONG* pStatus) override;
  HRESULT STDMETHODCALLTYPE CBBReserved11(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Request(LONG opCode, void* pBuffer, LONG nSize, LONG* pRCode) override;
  HRESULT STDMETHODCALLTYPE TalkBackReserved3(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Send(const BYTE* pMessage, LONG nSize) override;
  HRESULT STDMETHODCALLTYPE SiteReserved3(LONG) override { return S_OK; }

 private:
  void TraceAlarm(const BYTE* message, LONG size);

  CellTrace m_trace;
};
