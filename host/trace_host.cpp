#include "trace_host.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "base/big_endian.h"

namespace {

LONG Read16(const BYTE* p) { return static_cast<LONG>(ReadBigEndian16(p)); }

}  // namespace

HRESULT TraceHost::QueryInterface(REFIID riid, void** ppv) {
  return Answer(riid, ppv,
                {{IID_IUnknown, Unknown()},
                 {IID_ICBBSetCtrl, Unknown()},
                 {IID_CBBInfo3, static_cast<CBBInfo3*>(this)},
                 {IID_ITalkBack, static_cast<ITalkBack*>(this)},
                 {IID_IHostSite, static_cast<IHostSite*>(this)}});
}

HRESULT TraceHost::RequestBroadcast(LONG bRequest) {
  m_trace.Note("broadcast messages requested", "ICBBSetCtrl " + std::to_string(bRequest));
  return S_OK;
}

HRESULT TraceHost::GetCallbackStatus(LONG* pStatus) {
  if (pStatus != nullptr) *pStatus = 1;
  return S_OK;
}

HRESULT TraceHost::Request(LONG opCode, void* pBuffer, LONG nSize, LONG* pRCode) {
  if (pRCode != nullptr) *pRCode = 0;
  switch (opCode) {
    case CCB_GetClientKeys:
      // A recognisable block: byte n holds n.
      for (LONG i = 0; pBuffer != nullptr && i < nSize; ++i) static_cast<BYTE*>(pBuffer)[i] = static_cast<BYTE>(i);
      m_trace.Note("client keys handed over", "request 11 CCB_GetClientKeys size=" + std::to_string(nSize));
      return S_OK;
    case CCB_GetEpochTime: {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      const uint32_t seconds = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
      if (pBuffer != nullptr && nSize >= 4) std::memcpy(pBuffer, &seconds, sizeof seconds);
      m_trace.Note("epoch time " + std::to_string(seconds) + " handed over", "request 12 CCB_GetEpochTime");
      return S_OK;
    }
    case CCB_SendINMSAlarm:
      TraceAlarm(static_cast<const BYTE*>(pBuffer), nSize);
      return S_OK;
    default:
      m_trace.Note("unknown request refused", "request " + std::to_string(opCode));
      return E_NOTIMPL;
  }
}

void TraceHost::TraceAlarm(const BYTE* message, LONG size) {
  if (message == nullptr || size < 4) {
    m_trace.Note("malformed alarm ignored", "request 87 CCB_SendINMSAlarm size=" + std::to_string(size));
    return;
  }
  const LONG length = Read16(message + 2);
  const size_t textLength = static_cast<size_t>(std::min<LONG>(length, size - 4));
  std::string text(reinterpret_cast<const char*>(message + 4), textLength);
  if (!text.empty() && text.back() == '\0') text.pop_back();
  m_trace.Beat(Read16(message), text);
}

HRESULT TraceHost::Send(const BYTE* pMessage, LONG nSize) {
  if (pMessage == nullptr || nSize != 8) {
    m_trace.Note("malformed talkback refused", "talkback size=" + std::to_string(nSize));
    return E_INVALIDARG;
  }
  m_trace.Talkback(Read16(pMessage), Read16(pMessage + 2), static_cast<LONG>(ReadBigEndian32(pMessage + 4)));
  return S_OK;
}
