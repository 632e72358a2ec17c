#include "support/fake_host.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

Bytes CopyOf(const void* pBuffer, LONG nSize) {
  if (pBuffer == nullptr || nSize <= 0) return {};
  const BYTE* pBytes = static_cast<const BYTE*>(pBuffer);
  return Bytes(pBytes, pBytes + nSize);
}

}  // namespace

FakeHost::FakeHost() : m_answered{IID_IUnknown, IID_ICBBSetCtrl, IID_CBBInfo3, IID_ITalkBack, IID_IHostSite} {}

void FakeHost::Answer(REFIID iid, bool answered) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_answered.erase(std::remove(m_answered.begin(), m_answered.end(), iid), m_answered.end());
  if (answered) m_answered.push_back(iid);
}

void FakeHost::AnswerNone() {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_answered.clear();
}

void FakeHost::SetCallbackStatus(LONG status) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_nCallbackStatus = status;
}

void FakeHost::SetRequestAnswer(LONG opCode, RequestAnswer answer) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_requestAnswers[opCode] = answer;
}

void FakeHost::SetTalkbackResult(HRESULT hr) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_talkbackResult = hr;
}

void FakeHost::SetClientKeys(const Bytes& keys) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_clientKeys = keys;
}

void FakeHost::SetEpochTime(uint32_t time) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_epochTime = time;
}

void FakeHost::ThrowOnNextRelease() {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_bThrowOnRelease = true;
}

LONG FakeHost::RefCount() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_nRefCount;
}

std::vector<std::string> FakeHost::Calls() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_calls;
}

std::vector<HostRequest> FakeHost::Requests() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_requests;
}

std::vector<Bytes> FakeHost::TalkbackMessages() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_talkbackMessages;
}

std::vector<LONG> FakeHost::BroadcastRequests() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_broadcastRequests;
}

std::vector<std::string> FakeHost::Unexpected() const {
  std::lock_guard<std::mutex> hold(m_mutex);
  return m_unexpected;
}

HRESULT STDMETHODCALLTYPE FakeHost::QueryInterface(REFIID riid, void** ppv) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back("QueryInterface");
  if (ppv == nullptr) {
    m_unexpected.push_back("QueryInterface without an output");
    return E_POINTER;
  }
  *ppv = nullptr;
  if (std::find(m_answered.begin(), m_answered.end(), riid) == m_answered.end()) return E_NOINTERFACE;
  if (riid == IID_CBBInfo3)
    *ppv = static_cast<CBBInfo3*>(this);
  else if (riid == IID_ITalkBack)
    *ppv = static_cast<ITalkBack*>(this);
  else if (riid == IID_IHostSite)
    *ppv = static_cast<IHostSite*>(this);
  else
    *ppv = static_cast<ICBBSetCtrl*>(this);  // IUnknown and ICBBSetCtrl share the primary table
  ++m_nRefCount;
  return S_OK;
}

ULONG STDMETHODCALLTYPE FakeHost::AddRef() {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back("AddRef");
  return static_cast<ULONG>(++m_nRefCount);
}

ULONG STDMETHODCALLTYPE FakeHost::Release() {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back("Release");
  if (--m_nRefCount < 0) m_unexpected.push_back("Release below zero");
  if (m_bThrowOnRelease) {
    m_bThrowOnRelease = false;
    throw FakeHostReleaseFault{};
  }
  return static_cast<ULONG>(m_nRefCount);
}

HRESULT STDMETHODCALLTYPE FakeHost::RequestBroadcast(LONG bRequest) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back("RequestBroadcast(" + std::to_string(bRequest) + ")");
  m_broadcastRequests.push_back(bRequest);
  return S_OK;
}

HRESULT FakeHost::UnexpectedSlot(const char* name) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back(name);
  m_unexpected.push_back(name);
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved3(LONG) { return UnexpectedSlot("CBBInfo3 slot 3"); }
HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved4(LONG) { return UnexpectedSlot("CBBInfo3 slot 4"); }
HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved5(LONG) { return UnexpectedSlot("CBBInfo3 slot 5"); }
HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved6(LONG) { return UnexpectedSlot("CBBInfo3 slot 6"); }
HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved7(LONG) { return UnexpectedSlot("CBBInfo3 slot 7"); }
HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved8(LONG) { return UnexpectedSlot("CBBInfo3 slot 8"); }
HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved9(LONG) { return UnexpectedSlot("CBBInfo3 slot 9"); }
HRESULT STDMETHODCALLTYPE FakeHost::CBBReserved11(LONG) { return UnexpectedSlot("CBBInfo3 slot 11"); }
HRESULT STDMETHODCALLTYPE FakeHost::TalkBackReserved3(LONG) { return UnexpectedSlot("TALK BACK slot 3"); }
HRESULT STDMETHODCALLTYPE FakeHost::SiteReserved3(LONG) { return UnexpectedSlot("site slot 3"); }

HRESULT STDMETHODCALLTYPE FakeHost::GetCallbackStatus(LONG* pStatus) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back("GetCallbackStatus");
  if (pStatus != nullptr) *pStatus = m_nCallbackStatus;
  return S_OK;
}

void FakeHost::FillRequestBuffer(LONG opCode, void* pBuffer, LONG nSize) const {
  if (pBuffer == nullptr || nSize <= 0) return;
  if (opCode == CCB_GetClientKeys && !m_clientKeys.empty()) {
    std::memcpy(pBuffer, m_clientKeys.data(), std::min(m_clientKeys.size(), static_cast<size_t>(nSize)));
  } else if (opCode == CCB_GetEpochTime && nSize >= static_cast<LONG>(sizeof(m_epochTime))) {
    std::memcpy(pBuffer, &m_epochTime, sizeof(m_epochTime));
  }
}

HRESULT STDMETHODCALLTYPE FakeHost::Request(LONG opCode, void* pBuffer, LONG nSize, LONG* pRCode) {
  // Counted outside the record's mutex, which would otherwise hide a caller that does not serialise.
  if (m_nRequestsInFlight.fetch_add(1) > 0) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_unexpected.push_back("overlapping requests");
  }
  std::this_thread::yield();
  const HRESULT hr = AnswerRequest(opCode, pBuffer, nSize, pRCode);
  m_nRequestsInFlight.fetch_sub(1);
  return hr;
}

HRESULT FakeHost::AnswerRequest(LONG opCode, void* pBuffer, LONG nSize, LONG* pRCode) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back("Request(" + std::to_string(opCode) + ")");
  m_requests.push_back(HostRequest{opCode, nSize, CopyOf(pBuffer, nSize)});
  const auto configured = m_requestAnswers.find(opCode);
  const RequestAnswer answer = configured != m_requestAnswers.end() ? configured->second : RequestAnswer{};
  if (SUCCEEDED(answer.hr)) FillRequestBuffer(opCode, pBuffer, nSize);
  if (answer.rCode && pRCode != nullptr) *pRCode = *answer.rCode;
  return answer.hr;
}

HRESULT STDMETHODCALLTYPE FakeHost::Send(const BYTE* pMessage, LONG nSize) {
  std::lock_guard<std::mutex> hold(m_mutex);
  m_calls.push_back("Send(" + std::to_string(nSize) + ")");
  m_talkbackMessages.push_back(CopyOf(pMessage, nSize));
  return m_talkbackResult;
}
