// Stand-in for the proxy plug-in library. It serves no stream: it answers as a test told it to, records
// every call it receives, follows the reference rules the control relies on, and writes into the shared
// log the way the real library does. Built once per plug-in file name (STANDIN_NAME).
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

#include "base/com_ref.h"
#include "base/object_count.h"
#include "proxy_standin_control.h"
#include "shared_log.h"
#include "standin_export.h"
#include "video_proxy_query.h"


namespace {

struct State {
  std::mutex mutex;
  StandInBehaviour behaviour;
  std::vector<StandInCall> calls;
  StandInCounts counts{};
  LONG proxiesMade = 0;
};

State& TheState() {
  static State state;
  return state;
}

StandInBehaviour Behaviour() {
  std::lock_guard<std::mutex> hold(TheState().mutex);
  return TheState().behaviour;
}

void Record(const char* what, LONG object, int64_t arg1 = 0, int64_t arg2 = 0, const char* text = nullptr) {
  StandInCall call{};
  std::snprintf(call.what, sizeof call.what, "%s", what);
  call.object = object;
  call.arg1 = arg1;
  call.arg2 = arg2;
  std::snprintf(call.text, sizeof call.text, "%s", text != nullptr ? text : "");
  std::lock_guard<std::mutex> hold(TheState().mutex);
  TheState().calls.push_back(call);
}

void Count(LONG StandInCounts::*counter, LONG delta) {
  std::lock_guard<std::mutex> hold(TheState().mutex);
  TheState().counts.*counter += delta;
}

SharedLog& TheLog() {
  static SharedLog log(STANDIN_NAME);
  return log;
}

void LogCall(const char* text) {
  const LONG level = Behaviour().logLevel;
  if (level > 0) TheLog().Write(level, text);
}

// A faulting Release faults before it lets go of anything; a throwing one lets go first and then throws,
// so the sanitizers see the exception and no leak.
void FaultIf(LONG fault) {
  if (fault != kStandInAccessViolation) return;
  volatile uintptr_t nowhere = 0;
  *reinterpret_cast<volatile int*>(nowhere) = 1;
}

// On 32-bit x86 a GCC-built library's exception cannot leave the library at all; there the stand-in
// throws the way a library built with a Windows compiler does, through the system, with that runtime's
// code and parameters (magic number, object, type information).
void ThrowIf(LONG fault) {
  if (fault != kStandInThrows) return;
#if defined(_WIN32) && !defined(_WIN64)
  const ULONG_PTR throwInfo[3] = {0x19930520, 0, 0};
  RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, throwInfo);
#endif
  throw std::runtime_error("stand-in Release fails");
}

class StandInProxy final : public IQelVideoProxy {
 public:
  explicit StandInProxy(LONG number) : m_nNumber(number) { Count(&StandInCounts::liveProxies, 1); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return QueryVideoProxy(this, riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(m_refs.Up()); }
  ULONG STDMETHODCALLTYPE Release() override {
    Record("Proxy::Release", m_nNumber);
    const LONG fault = Behaviour().proxyReleaseFault;
    FaultIf(fault);
    const LONG refs = m_refs.Down();
    if (refs == 0) {
      DropCallback();
      Count(&StandInCounts::liveProxies, -1);
      delete this;
    }
    ThrowIf(fault);
    return static_cast<ULONG>(refs);
  }

  HRESULT STDMETHODCALLTYPE Create(CSrcConfig* pConfig) override {
    Record("Proxy::Create", m_nNumber, reinterpret_cast<intptr_t>(pConfig));
    const StandInBehaviour behaviour = Behaviour();
    const HRESULT result = m_nNumber <= kStandInMaxProxies ? behaviour.createResults[m_nNumber - 1] : S_OK;
    if (FAILED(result)) {
      DropCallback();
      return result;
    }
    m_pConfig = pConfig;
    if (behaviour.askEpochTimeOnCreate != 0 && m_pCallback) AskEpochTime();
    char line[64];
    std::snprintf(line, sizeof line, "Proxy %d created, Port=%d", static_cast<int>(m_nNumber),
                  static_cast<int>(GetPortOf(behaviour)));
    LogCall(line);
    return result;
  }
  HRESULT STDMETHODCALLTYPE Reserved4(LONG value) override { return Unexpected("Proxy::Reserved4", value); }
  HRESULT STDMETHODCALLTYPE SetCallback(IQelVideoCBBCallback* pCallback) override {
    Record("Proxy::SetCallback", m_nNumber, pCallback != nullptr ? 1 : 0);
    const HRESULT result = Behaviour().setCallbackResult;
    DropCallback();
    if (SUCCEEDED(result) && pCallback != nullptr) {
      m_pCallback = CComRef<IQelVideoCBBCallback>::Share(pCallback);
      Count(&StandInCounts::heldCallbacks, 1);
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Reserved6(LONG value) override { return Unexpected("Proxy::Reserved6", value); }
  LONG STDMETHODCALLTYPE GetPort() override {
    Record("Proxy::GetPort", m_nNumber);
    return GetPortOf(Behaviour());
  }
  CSrcConfig* STDMETHODCALLTYPE GetConfig() override {
    Record("Proxy::GetConfig", m_nNumber);
    return Behaviour().configFromCreate != 0 ? m_pConfig : nullptr;
  }
  HRESULT STDMETHODCALLTYPE Reserved9(LONG value) override { return Unexpected("Proxy::Reserved9", value); }
  HRESULT STDMETHODCALLTYPE Reserved10(LONG value) override { return Unexpected("Proxy::Reserved10", value); }
  HRESULT STDMETHODCALLTYPE Reserved11(LONG value) override { return Unexpected("Proxy::Reserved11", value); }
  HRESULT STDMETHODCALLTYPE Reserved12(LONG value) override { return Unexpected("Proxy::Reserved12", value); }
  HRESULT STDMETHODCALLTYPE SetConnectionURL(LONG connIndex, const char* url, LONG type) override {
    Record("Proxy::SetConnectionURL", m_nNumber, connIndex, type, url);
    return S_OK;
  }
  LONG STDMETHODCALLTYPE GetByteCount() override {
    Record("Proxy::GetByteCount", m_nNumber);
    return Behaviour().byteCount;
  }
  HRESULT STDMETHODCALLTYPE Reserved15(LONG value) override { return Unexpected("Proxy::Reserved15", value); }
  HRESULT STDMETHODCALLTYPE CloseConnections(LONG includeProxy) override {
    Record("Proxy::CloseConnections", m_nNumber, includeProxy);
    // With its own connection closed the proxy no longer needs its way back to the host.
    if (includeProxy == 1) DropCallback();
    char line[64];
    std::snprintf(line, sizeof line, "Proxy %d connections closed", static_cast<int>(m_nNumber));
    LogCall(line);
    return Behaviour().closeConnectionsResult;
  }
  HRESULT STDMETHODCALLTYPE PrepareClose(LONG value) override {
    Record("Proxy::PrepareClose", m_nNumber, value);
    return S_OK;
  }
  int64_t STDMETHODCALLTYPE GetLastActivityTime() override {
    Record("Proxy::GetLastActivityTime", m_nNumber);
    return Behaviour().lastActivityTime;
  }

 private:
  LONG GetPortOf(const StandInBehaviour& behaviour) const { return behaviour.firstPort + m_nNumber - 1; }

  HRESULT Unexpected(const char* what, LONG value) {
    Record(what, m_nNumber, value);
    return E_NOTIMPL;
  }

  void DropCallback() {
    if (!m_pCallback) return;
    Count(&StandInCounts::heldCallbacks, -1);
    m_pCallback.Reset();
  }

  // The real library asks from a thread of its own.
  void AskEpochTime() {
    IQelVideoCBBCallback* callback = m_pCallback.Get();
    const LONG number = m_nNumber;
    std::thread asker([callback, number] {
      DWORD time = 0;
      const HRESULT result = callback->GetEpochTime(&time);
      Record("Callback::GetEpochTime", number, result, time);
    });
    asker.join();
  }

  LONG m_nNumber;
  CInterlockedCount m_refs{1};
  CComRef<IQelVideoCBBCallback> m_pCallback;
  CSrcConfig* m_pConfig = nullptr;
};

class FactoryObject final : public IUnknown {
 public:
  FactoryObject() { Count(&StandInCounts::liveFactoryObjects, 1); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    Record("Factory::QueryInterface", 0, IsEqualGUID(riid, IID_IQelVideoProxy) ? 1 : 0);
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualGUID(riid, IID_IUnknown)) {
      AddRef();
      *ppv = static_cast<IUnknown*>(this);
      return S_OK;
    }
    if (!IsEqualGUID(riid, IID_IQelVideoProxy) || Behaviour().answersProxyInterface == 0) return E_NOINTERFACE;
    LONG number;
    {
      std::lock_guard<std::mutex> hold(TheState().mutex);
      number = ++TheState().proxiesMade;
    }
    *ppv = static_cast<IQelVideoProxy*>(new StandInProxy(number));
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(m_refs.Up()); }
  ULONG STDMETHODCALLTYPE Release() override {
    Record("Factory::Release", 0);
    const LONG fault = Behaviour().factoryReleaseFault;
    FaultIf(fault);
    const LONG refs = m_refs.Down();
    if (refs == 0) {
      Count(&StandInCounts::liveFactoryObjects, -1);
      delete this;
    }
    ThrowIf(fault);
    return static_cast<ULONG>(refs);
  }

 private:
  CInterlockedCount m_refs{1};
};

}  // namespace

STANDIN_EXPORT void QEL_CDECL ProxySetLogFile(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  Record("ProxySetLogFile", 0, level, ppStream != nullptr && pLock != nullptr ? 1 : 0);
  TheLog().Attach(ppStream, level, pLock);
  char line[64];
  std::snprintf(line, sizeof line, "Log shared, Level=%d", static_cast<int>(level));
  LogCall(line);
}

STANDIN_EXPORT LONG QEL_CDECL ProxyFactory(IUnknown** ppObject) {
  Record("ProxyFactory", 0);
  const StandInBehaviour behaviour = Behaviour();
  if (ppObject != nullptr) *ppObject = behaviour.factoryGivesObject != 0 ? new FactoryObject : nullptr;
  return behaviour.factoryResult;
}

STANDIN_EXPORT void QEL_CDECL StandInConfigure(const StandInBehaviour* behaviour) {
  std::lock_guard<std::mutex> hold(TheState().mutex);
  TheState().behaviour = *behaviour;
  TheState().calls.clear();
  TheState().proxiesMade = 0;
}

STANDIN_EXPORT LONG QEL_CDECL StandInCallCount() {
  std::lock_guard<std::mutex> hold(TheState().mutex);
  return static_cast<LONG>(TheState().calls.size());
}

STANDIN_EXPORT BYTE QEL_CDECL StandInCallAt(LONG index, StandInCall* call) {
  std::lock_guard<std::mutex> hold(TheState().mutex);
  if (index < 0 || static_cast<size_t>(index) >= TheState().calls.size()) return 0;
  *call = TheState().calls[static_cast<size_t>(index)];
  return 1;
}

STANDIN_EXPORT void QEL_CDECL StandInReadCounts(StandInCounts* counts) {
  std::lock_guard<std::mutex> hold(TheState().mutex);
  *counts = TheState().counts;
}

STANDIN_EXPORT void QEL_CDECL StandInWriteLog(LONG level, const char* text) { TheLog().Write(level, text); }

// The exports must match the types the control and the tests call them through.
static_assert(std::is_same_v<decltype(&ProxySetLogFile), ProxySetLogFileFn>);
static_assert(std::is_same_v<decltype(&ProxyFactory), ProxyFactoryFn>);
static_assert(std::is_same_v<decltype(&StandInConfigure), StandInConfigureFn>);
static_assert(std::is_same_v<decltype(&StandInCallAt), StandInCallAtFn>);
