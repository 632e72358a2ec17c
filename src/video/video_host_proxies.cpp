// The local proxies a player connects to: one per configuration, made by the proxy plug-in library that
// the plug-in type names, with the first one's port reported to the host terminal.
#include "log/ctrl_log.h"
#include "log/failure_lines.h"
#include "log/log.h"
#include "video/video_host.h"

namespace {

const char* ProxyLibraryFor(LONG plugInType) {
  switch (plugInType) {
    case 1: return "QelVideoProxy_SS.dll";
    case 2: return "QelVideoProxy_VFN.dll";
    default: return "QelVideoProxy_WMP.dll";
  }
}

}  // namespace

LONG CQelVorlaProxyHost::LoadProxyPlugin() {
  if (m_proxyPlugin.IsLoaded()) {
    Log(1, "VideoHost::LoadProxyPlugin: VideoProxy plugin already loaded, path=%s", m_proxyPlugin.GetPath().c_str());
    return 1;
  }
  if (!m_proxyPlugin.Load(ProxyLibraryFor(m_nPlugInType))) {
    Log(1, kFailedPluginLoad, m_proxyPlugin.GetError());
    return 0;
  }
  Log(3, "VideoHost::LoadProxyPlugin: VideoProxy plugin loaded successfully, path=%s",
      m_proxyPlugin.GetPath().c_str());
  // The library writes into the same file, following every reopen through the stream pointer's address.
  CQelCtrlLog& log = ProcessLog();
  m_proxyPlugin.SetLogFile(log.StreamAddress(), log.Level(), log.LockAddress());
  return 1;
}

LONG CQelVorlaProxyHost::StartLocalProxies() {
  Log(3, "VideoHost::StartLocalProxies: Starting...");
  if (m_configs.empty()) {
    Log(3, "VideoHost::StartLocalProxies: No local proxy needed");
    return 1;
  }
  Log(2, "VideoHost::StartLocalProxies: Proxy count=%d", static_cast<int>(m_configs.size()));
  if (!m_proxies.empty()) {
    Log(2, "VideoHost::StartLocalProxies: Proxies already started");
    return 1;
  }
  if (LoadProxyPlugin() == 0) {
    Log(2, kFailedPluginStart);
    return 0;
  }
  for (size_t i = 0; i < m_configs.size(); ++i) {
    CSrcConfig* config = m_configs[i].get();
    if (config == nullptr) {
      Log(1, kFailedProxySetting);
      return 0;
    }
    CComRef<IQelVideoProxy> proxy;
    if (m_proxyPlugin.CreateProxy(proxy.Put()) == 0) {
      Log(1, kFailedProxyFactory, static_cast<int>(i),
          m_proxyPlugin.GetError());
      return 0;
    }
    if (!proxy) {
      Log(1, kFailedProxyInterface);
      return 0;
    }
    if (FAILED(proxy->SetCallback(this)))
      Log(1, kFailedSetCallback, static_cast<int>(i));
    if (FAILED(proxy->Create(config))) {
      Log(1, kFailedProxyCreate, static_cast<int>(i));
      return 0;  // not kept: the reference the factory gave goes back with `proxy`
    }
    AdoptProxy(std::move(proxy));
  }
  return 1;
}

LONG CQelVorlaProxyHost::GetLocalProxyPort() {
  if (m_configs.empty()) return 0;
  if (m_proxies.empty()) {
    Log(1, kFailedPortOutOfRange, 0);
    return -1;
  }
  if (!m_proxies.front()) {
    Log(1, kFailedPortBadPointer, 0);
    return -1;
  }
  return m_proxies.front()->GetPort();
}

LONG CQelVorlaProxyHost::CloseProxyConnections() {
  Log(3, "VideoHost::CloseProxyConnections: IncludeProxy=%s, Stopping...", "TRUE");
  if (m_configs.empty()) {
    Log(3, "VideoHost::CloseProxyConnections: No local proxy created");
    return 1;
  }
  Log(3, "VideoHost::CloseProxyConnections: Proxy count=%d", static_cast<int>(m_configs.size()));
  if (m_proxies.empty()) {
    Log(3, "VideoHost::CloseProxyConnections: No local proxy created");
    return 1;
  }
  const size_t count = m_configs.size() < m_proxies.size() ? m_configs.size() : m_proxies.size();
  // Every proxy hears that closing starts before any of them is asked to close.
  for (size_t i = 0; i < count; ++i)
    if (m_proxies[i]) m_proxies[i]->PrepareClose(1);
  for (size_t i = 0; i < count; ++i) {
    if (!m_proxies[i]) continue;
    const HRESULT hr = m_proxies[i]->CloseConnections(1);
    if (FAILED(hr))
      Log(1, kFailedProxyClose,
          static_cast<int>(i), static_cast<unsigned int>(hr));
  }
  return 1;
}

LONG CQelVorlaProxyHost::StartPlay() {
  if (StartLocalProxies() == 0) return 0;
  const LONG port = GetLocalProxyPort();
  if (port < 0) return 0;
  const LONG acid = static_cast<LONG>(static_cast<uint16_t>(m_owner.OwnerACID()));
  Log(1, "VideoHost::StartPlay: ACID=%d, Port=%d", static_cast<int>(acid), static_cast<int>(port));
  if (m_talkback.SendCommand(kTalkbackReportProxyPort, acid, port))
    Log(1, "VideoHost::StartPlay: Sent proxy port successfully");
  else
    Log(1, kFailedPortReport);
  if (m_bIsolated == 0) StopEveryone();
  return 1;
}
