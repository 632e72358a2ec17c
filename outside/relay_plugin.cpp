// The relay: a proxy plug-in library whose local proxies really carry a stream. Each proxy listens on
// 127.0.0.1 on a port the system chooses and relays every connection a player opens to a stream source of
// its own configuration, along the route that configuration gives (see RelayServer and UpstreamRace).
// Installed under a plug-in's file name it stands in for that plug-in. It runs in the host's own process:
// every slot and export catches what its body throws, logs it once and answers with a failure.
#include <atomic>
#include <memory>
#include <mutex>
#include <type_traits>

#include "base/com_object.h"
#include "base/com_ref.h"
#include "config/src_config.h"
#include "plugins/outside_interfaces.h"
#include "relay_config.h"
#include "relay_fault_point.h"
#include "relay_guard.h"
#include "relay_server.h"
#include "shared_log.h"
#include "standin_export.h"
#include "stream_address.h"
#include "video_proxy_query.h"


namespace {

SharedLog& TheLog() {
  static SharedLog log(STANDIN_NAME);
  return log;
}

std::atomic<LONG> g_proxiesMade{0};

void LogFailure(LONG number, const char* what, const std::string& error) noexcept {
  RunGuarded([&] { TheLog().WriteF(1, "Relay %d: %s failed: %s", static_cast<int>(number), what, error.c_str()); },
             [](const std::string&) {});
}

// Runs a slot's or an export's body; when it throws, the failure is logged and the call answers `failed`.
template <typename Result, typename Body>
Result Guard(LONG number, const char* what, Result failed, Body body) noexcept {
  Result result = failed;
  RunGuarded([&] { result = body(); }, [&](const std::string& error) { LogFailure(number, what, error); });
  return result;
}

// A relay object deletes itself with its last reference, which may go on any thread.
class RelayProxy final : public CComObject<CInterlockedCount, IQelVideoProxy> {
 public:
  explicit RelayProxy(LONG number) : CComObject(1), m_nNumber(number) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return QueryVideoProxy(this, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Create(CSrcConfig* pConfig) override {
    if (pConfig == nullptr) return E_POINTER;
    return Guard(m_nNumber, "Create", E_FAIL, [&] {
      std::lock_guard<std::mutex> hold(m_lock);
      if (m_server != nullptr) return E_FAIL;
      RelayFaultPoint(RelayFault::Create);
      m_config.CopySettingsFrom(*pConfig);
      // The video host's settings write the relay's configuration under its lock while the relay runs; each
      // new connection takes the route as it stands then.
      auto server = std::make_unique<RelayServer>(TheLog(), m_nNumber, [this] { return ReadRelayRoute(m_config); });
      if (!server->Start()) return E_FAIL;
      m_server = std::move(server);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Reserved4(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetCallback(IQelVideoCBBCallback* pCallback) override {
    return Guard(m_nNumber, "SetCallback", E_FAIL, [&] {
      CComRef<IQelVideoCBBCallback> callback = CComRef<IQelVideoCBBCallback>::Share(pCallback);
      std::lock_guard<std::mutex> hold(m_lock);
      m_pCallback = std::move(callback);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Reserved6(LONG) override { return E_NOTIMPL; }
  LONG STDMETHODCALLTYPE GetPort() override {
    return Guard(m_nNumber, "GetPort", LONG{-1}, [&] {
      std::lock_guard<std::mutex> hold(m_lock);
      return m_server != nullptr ? m_server->Port() : -1;
    });
  }
  CSrcConfig* STDMETHODCALLTYPE GetConfig() override {
    return Guard(m_nNumber, "GetConfig", static_cast<CSrcConfig*>(nullptr), [&] {
      std::lock_guard<std::mutex> hold(m_lock);
      return m_server != nullptr ? &m_config : nullptr;
    });
  }
  HRESULT STDMETHODCALLTYPE Reserved9(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved10(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved11(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved12(LONG) override { return E_NOTIMPL; }
  // A running proxy's connections change here. A new URL for connection 0 after the connections and the
  // listener were closed (another player started) means the player plays again: the relay listens again.
  HRESULT STDMETHODCALLTYPE SetConnectionURL(LONG connIndex, const char* url, LONG type) override {
    if (url == nullptr) return E_POINTER;
    return Guard(m_nNumber, "SetConnectionURL", E_FAIL, [&] {
      const int number = static_cast<int>(m_nNumber);
      StreamAddress address;
      if (!ParseStreamAddress(url, address)) {
        TheLog().WriteF(1, "Relay %d cannot use URL %s", number, url);
        return E_INVALIDARG;
      }
      if (!SetRelayConnection(m_config, connIndex, url, type, address)) return S_OK;
      TheLog().WriteF(1, "Relay %d: connection %d now %s", number, static_cast<int>(connIndex),
                      HostPortText(address.host, address.port).c_str());
      std::lock_guard<std::mutex> hold(m_lock);
      if (connIndex == 0 && m_server != nullptr && !m_server->Start()) return E_FAIL;
      return S_OK;
    });
  }
  LONG STDMETHODCALLTYPE GetByteCount() override {
    return Guard(m_nNumber, "GetByteCount", LONG{0}, [&] {
      std::lock_guard<std::mutex> hold(m_lock);
      return m_server != nullptr ? m_server->TakeByteReading() : 0;
    });
  }
  HRESULT STDMETHODCALLTYPE Reserved15(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CloseConnections(LONG includeProxy) override {
    return Guard(m_nNumber, "CloseConnections", E_FAIL, [&] {
      std::lock_guard<std::mutex> hold(m_lock);
      if (m_server != nullptr) m_server->CloseConnections(includeProxy == 1);
      // With its own connection closed the proxy no longer needs its way back to the host.
      if (includeProxy == 1) m_pCallback.Reset();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE PrepareClose(LONG) override { return S_OK; }
  int64_t STDMETHODCALLTYPE GetLastActivityTime() override {
    return Guard(m_nNumber, "GetLastActivityTime", int64_t{0}, [&] {
      std::lock_guard<std::mutex> hold(m_lock);
      return m_server != nullptr ? m_server->LastActivityTime() : 0;
    });
  }

 private:
  // Stops the relay before the configuration may go; the destructor of a server stops it whatever happens.
  ~RelayProxy() override = default;

  const LONG m_nNumber;
  std::mutex m_lock;
  CSrcConfig m_config;  // the I/O thread reads it, so it outlives the server
  std::unique_ptr<RelayServer> m_server;
  CComRef<IQelVideoCBBCallback> m_pCallback;
};

// What "ProxyFactory" hands out: each query for the proxy interface makes a new local proxy.
class RelayFactory final : public CComObject<CInterlockedCount, IUnknown> {
 public:
  RelayFactory() : CComObject(1) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!IsEqualGUID(riid, IID_IQelVideoProxy)) return Answer(riid, ppv, {{IID_IUnknown, this}});
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    const LONG number = ++g_proxiesMade;
    return Guard(number, "making a proxy", E_OUTOFMEMORY, [&] {
      RelayFaultPoint(RelayFault::NewProxy);
      *ppv = static_cast<IQelVideoProxy*>(new RelayProxy(number));
      return S_OK;
    });
  }
};

}  // namespace

STANDIN_EXPORT void QEL_CDECL ProxySetLogFile(FILE** ppStream, LONG level, CRITICAL_SECTION* pLock) {
  Guard(0, "ProxySetLogFile", 0, [&] {
    TheLog().Attach(ppStream, level, pLock);
    RelayFaultPoint(RelayFault::SetLogFile);
    TheLog().WriteF(1, "Relay log shared, Level=%d", static_cast<int>(level));
    return 0;
  });
}

STANDIN_EXPORT LONG QEL_CDECL ProxyFactory(IUnknown** ppObject) {
  if (ppObject == nullptr) return 0;
  *ppObject = nullptr;
  return Guard(0, "ProxyFactory", LONG{0}, [&] {
    RelayFaultPoint(RelayFault::Factory);
    *ppObject = new RelayFactory;
    return LONG{1};
  });
}

static_assert(std::is_same_v<decltype(&ProxySetLogFile), ProxySetLogFileFn>);
static_assert(std::is_same_v<decltype(&ProxyFactory), ProxyFactoryFn>);
