// The video host: one control's stream and proxy settings, its local proxies, and the channels back to
// the host terminal. The dispatcher and the proxy plug-in call it through IQelVideoCBBCallback.
#pragma once

#include <memory>
#include <vector>

#include "base/com_object.h"
#include "base/com_ref.h"
#include "config/src_config.h"
#include "plugins/outside_interfaces.h"
#include "plugins/proxy_plugin.h"
#include "talkback/cbb_callback.h"
#include "talkback/talkback.h"
#include "video/video_host_owner.h"

class CQelVorlaProxyHost;

// What the heartbeat reports from: the first proxy's configuration, taken once and kept.
struct PlayerStatusRecord {
  LONG m_bBound = 0;
  CQelVorlaProxyHost* m_pHost = nullptr;
  CSrcConfig* m_pConfig = nullptr;
};

// The count may change on the plug-in's threads.
class CQelVorlaProxyHost : public CComObject<CInterlockedCount, IQelVideoCBBCallback> {
 public:
  explicit CQelVorlaProxyHost(IVideoHostOwner& owner);
  ~CQelVorlaProxyHost() override;

  // The host answers no identifier.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override { return Answer(iid, ppv, {}); }

  // IQelVideoCBBCallback
  HRESULT STDMETHODCALLTYPE GetEpochTime(DWORD* pTime) override;
  HRESULT STDMETHODCALLTYPE ReservedCallback(LONG value) override;
  HRESULT STDMETHODCALLTYPE SetURL(LONG proxyIndex, LONG connIndex, const char* url, LONG type) override;
  HRESULT STDMETHODCALLTYPE SetAASSessionIDs(int64_t id1, int64_t id2) override;
  HRESULT STDMETHODCALLTYPE SetPlugInName(const char* names) override;
  HRESULT STDMETHODCALLTYPE SetSocks5Proxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                           const char* userName, const char* password) override;
  HRESULT STDMETHODCALLTYPE SetPLUGProxy(const char* host1, LONG port1, const char* host2, LONG port2,
                                         const char* customHeader) override;
  HRESULT STDMETHODCALLTYPE SetSecureHeader(const char* header, LONG version, LONG keyType) override;
  HRESULT STDMETHODCALLTYPE SetProxyKey(LONG total, LONG index, const char* key) override;
  HRESULT STDMETHODCALLTYPE SetPlugInType(LONG type) override;
  HRESULT STDMETHODCALLTYPE SetHeartbeatAlarmInterval(LONG seconds) override;
  HRESULT STDMETHODCALLTYPE SetIsolatedFlag(LONG flag) override;

  // Life of the host, in the order the control calls them.
  bool Initialize(CBBInfo3* pCallback, ITalkBack* pTalkback);
  void OnCreateControl(HWND hParent);
  // Parses one command buffer and applies it; the command's status, 1 for a buffer that does not parse.
  LONG OnProcessQelVideoCmd(const BYTE* buffer, LONG size);
  void OnDeleteControl();
  void Destroy();

  // Local proxies.
  LONG LoadProxyPlugin();
  LONG StartLocalProxies();
  LONG GetLocalProxyPort();
  LONG CloseProxyConnections();
  LONG StartPlay();

  // Heartbeat: 1 when the host accepted the alarm.
  int SendHeartbeat(LONG bClosing);
  std::string FormatPlayerStatus(LONG bClosing);

  // Stopping the other players, and being stopped.
  void StopEveryone();
  void Suspend();

  // Keeps a local proxy, as StartLocalProxies keeps each one the plug-in makes; one reference is held.
  void AdoptProxy(CComRef<IQelVideoProxy> proxy);
  // Adds the configuration of the next proxy index, as Initialize adds the first.
  void AddConfig(std::unique_ptr<CSrcConfig> config);

  LONG IsIsolated() const { return m_bIsolated; }
  LONG AlarmInterval() const { return m_nAlarmInterval; }
  LONG PlugInType() const { return m_nPlugInType; }
  size_t ProxyCount() const { return m_proxies.size(); }
  // The host's own configuration, proxy index 0; null before Initialize.
  CSrcConfig* HostConfig() const { return m_configs.empty() ? nullptr : m_configs.front().get(); }
  CProxyPlugin& ProxyPlugin() { return m_proxyPlugin; }

 private:
  // Every configuration a setting reaches, each once: the host's own, then each live proxy's. A proxy may
  // hand back a configuration already listed (the very one it was created with), and a second visit
  // would write it twice: a key list would take every key two times.
  std::vector<CSrcConfig*> EveryConfig();
  template <typename Visit>
  void ForEveryConfig(Visit visit) {
    for (CSrcConfig* config : EveryConfig()) visit(*config);
  }

  HWND m_hParent;
  IVideoHostOwner& m_owner;  // the control that made this host and outlives it
  CProxyPlugin m_proxyPlugin;
  CQelCBBCallback m_callback;
  CTalkback m_talkback;
  PlayerStatusRecord m_status;
  LONG m_bFirstSessionIDs;
  // Declared before the proxies, so they outlive the proxies that read them.
  std::vector<std::unique_ptr<CSrcConfig>> m_configs;
  std::vector<CComRef<IQelVideoProxy>> m_proxies;
  LONG m_nAlarmInterval;
  LONG m_nPlugInType;
  LONG m_bIsolated;
};
