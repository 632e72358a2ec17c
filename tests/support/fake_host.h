// A stand-in for the terminal host's object behind a control: the four host interfaces the control asks
// for, with exact reference counts, a record of every call and buffer, and configurable answers. It does
// not depend on a test framework: calls that the host contract never makes are recorded in Unexpected()
// for the test to check.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host_interfaces/host_interfaces.h"

using Bytes = std::vector<BYTE>;

struct HostRequest {
  LONG opCode;
  LONG nSize;
  Bytes buffer;  // the nSize bytes as the host received them
};

// How the host answers one request opcode.
struct RequestAnswer {
  HRESULT hr = S_OK;
  std::optional<LONG> rCode = 0;  // nothing is written when empty
};

class FakeHost : public ICBBSetCtrl, public CBBInfo3, public ITalkBack, public IHostSite {
 public:
  FakeHost();
  virtual ~FakeHost() = default;
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // --- configuration ---
  // Which identifiers QueryInterface answers; all five (IUnknown and the four host interfaces) at first.
  void Answer(REFIID iid, bool answered);
  void AnswerNone();
  // Written by the status query; bit 0 set means enabled. 1 at first.
  void SetCallbackStatus(LONG status);
  void SetRequestAnswer(LONG opCode, RequestAnswer answer);
  void SetTalkbackResult(HRESULT hr);
  void SetClientKeys(const Bytes& keys);
  void SetEpochTime(uint32_t time);
  // The next Release throws after it has taken the reference off.
  void ThrowOnNextRelease();

  // --- record ---
  LONG RefCount() const;
  // Every call, in order, e.g. "AddRef", "GetCallbackStatus", "Request(87)", "Send(8)".
  std::vector<std::string> Calls() const;
  std::vector<HostRequest> Requests() const;
  std::vector<Bytes> TalkbackMessages() const;
  std::vector<LONG> BroadcastRequests() const;
  // Slots never called by a control, QueryInterface without an output, releases below zero and requests
  // that overlap in time (the host takes one at a time).
  std::vector<std::string> Unexpected() const;

  // The host's own view of this object.
  IUnknown* Unknown() { return static_cast<ICBBSetCtrl*>(this); }
  CBBInfo3* Callback() { return this; }
  ITalkBack* TalkBack() { return this; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // ICBBSetCtrl
  HRESULT STDMETHODCALLTYPE RequestBroadcast(LONG bRequest) override;
  // CBBInfo3
  HRESULT STDMETHODCALLTYPE CBBReserved3(LONG value) override;
  HRESULT STDMETHODCALLTYPE CBBReserved4(LONG value) override;
  HRESULT STDMETHODCALLTYPE CBBReserved5(LONG value) override;
  HRESULT STDMETHODCALLTYPE CBBReserved6(LONG value) override;
  HRESULT STDMETHODCALLTYPE CBBReserved7(LONG value) override;
  HRESULT STDMETHODCALLTYPE CBBReserved8(LONG value) override;
  HRESULT STDMETHODCALLTYPE CBBReserved9(LONG value) override;
  HRESULT STDMETHODCALLTYPE GetCallbackStatus(LONG* pStatus) override;
  HRESULT STDMETHODCALLTYPE CBBReserved11(LONG value) override;
  HRESULT STDMETHODCALLTYPE Request(LONG opCode, void* pBuffer, LONG nSize, LONG* pRCode) override;
  // ITalkBack
  HRESULT STDMETHODCALLTYPE TalkBackReserved3(LONG value) override;
  HRESULT STDMETHODCALLTYPE Send(const BYTE* pMessage, LONG nSize) override;
  // IHostSite
  HRESULT STDMETHODCALLTYPE SiteReserved3(LONG value) override;

 private:
  HRESULT UnexpectedSlot(const char* name);
  HRESULT AnswerRequest(LONG opCode, void* pBuffer, LONG nSize, LONG* pRCode);
  void FillRequestBuffer(LONG opCode, void* pBuffer, LONG nSize) const;

  mutable std::mutex m_mutex;
  std::atomic<int> m_nRequestsInFlight{0};
  LONG m_nRefCount = 0;
  std::vector<IID> m_answered;
  LONG m_nCallbackStatus = 1;
  std::map<LONG, RequestAnswer> m_requestAnswers;
  HRESULT m_talkbackResult = S_OK;
  Bytes m_clientKeys;
  uint32_t m_epochTime = 0;
  bool m_bThrowOnRelease = false;

  std::vector<std::string> m_calls;
  std::vector<HostRequest> m_requests;
  std::vector<Bytes> m_talkbackMessages;
  std::vector<LONG> m_broadcastRequests;
  std::vector<std::string> m_unexpected;
};

// What FakeHost's Release throws when told to.
struct FakeHostReleaseFault {};
