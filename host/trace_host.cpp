#include "trace_host.h"

#include <chrono>
#include <cstring>
#include <sstream>

#include "base/big_endian.h"
#include "base/guid.h"

namespace {

// The fields of a heartbeat's status text, as the host terminal reads them.
constexpr const char* kStatusFields[] = {"version", "acid",     "session1", "session2", "time",  "state",
                                         "unused",  "bits",     "kind",     "zero1",    "zero2", "zero3"};

LONG Read16(const BYTE* p) { return static_cast<LONG>(ReadBigEndian16(p)); }

}  // namespace

const char* TalkbackName(LONG command) {
  switch (command) {
    case 240: return "Report Proxy Port";
    case 249: return "Proxy Status";
    default: return "";
  }
}

HRESULT TraceHost::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (SameIID(riid, IID_IUnknown) || SameIID(riid, IID_ICBBSetCtrl))
    *ppv = static_cast<ICBBSetCtrl*>(this);
  else if (SameIID(riid, IID_CBBInfo3))
    *ppv = static_cast<CBBInfo3*>(this);
  else if (SameIID(riid, IID_ITalkBack))
    *ppv = static_cast<ITalkBack*>(this);
  else if (SameIID(riid, IID_IHostSite))
    *ppv = static_cast<IHostSite*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

void TraceHost::Trace(const std::string& text) {
  std::fprintf(m_out, "cell %d: %s\n", m_cell, text.c_str());
  std::fflush(m_out);
}

HRESULT TraceHost::RequestBroadcast(LONG bRequest) {
  Trace("broadcast messages requested (" + std::to_string(bRequest) + ")");
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
      Trace("request 11 CCB_GetClientKeys");
      // A recognisable block: byte n holds n.
      for (LONG i = 0; pBuffer != nullptr && i < nSize; ++i) static_cast<BYTE*>(pBuffer)[i] = static_cast<BYTE>(i);
      return S_OK;
    case CCB_GetEpochTime: {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      const uint32_t seconds = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
      if (pBuffer != nullptr && nSize >= 4) std::memcpy(pBuffer, &seconds, sizeof seconds);
      Trace("request 12 CCB_GetEpochTime -> " + std::to_string(seconds));
      return S_OK;
    }
    case CCB_SendINMSAlarm:
      TraceAlarm(static_cast<const BYTE*>(pBuffer), nSize);
      return S_OK;
    default:
      Trace("request " + std::to_string(opCode) + " (unknown opcode)");
      return E_NOTIMPL;
  }
}

void TraceHost::TraceAlarm(const BYTE* message, LONG size) {
  if (message == nullptr || size < 4) {
    Trace("request 87 CCB_SendINMSAlarm: malformed (" + std::to_string(size) + " bytes)");
    return;
  }
  const LONG length = Read16(message + 2);
  const size_t textLength = static_cast<size_t>(std::min<LONG>(length, size - 4));
  std::string text(reinterpret_cast<const char*>(message + 4), textLength);
  if (!text.empty() && text.back() == '\0') text.pop_back();
  std::ostringstream decoded;
  decoded << "request 87 CCB_SendINMSAlarm: ucid=" << Read16(message) << " \"" << text << "\"";
  std::istringstream fields(text);
  std::string field;
  for (const char* name : kStatusFields) {
    if (!std::getline(fields, field, ';')) break;
    if (std::strncmp(name, "zero", 4) != 0 && std::strcmp(name, "unused") != 0) decoded << " " << name << "=" << field;
  }
  Trace(decoded.str());
}

HRESULT TraceHost::Send(const BYTE* pMessage, LONG nSize) {
  if (pMessage == nullptr || nSize != 8) {
    Trace("talkback: malformed (" + std::to_string(nSize) + " bytes)");
    return E_INVALIDARG;
  }
  const LONG command = Read16(pMessage);
  const LONG acid = Read16(pMessage + 2);
  const LONG value = static_cast<LONG>(ReadBigEndian32(pMessage + 4));
  Trace("talkback " + std::to_string(command) + " [" + TalkbackName(command) + "] acid=" + std::to_string(acid) +
        " value=" + std::to_string(value));
  return S_OK;
}
