#include "video/video_host.h"

#include <new>

#include "log/failure_lines.h"
#include "log/log.h"

CQelVorlaProxyHost::CQelVorlaProxyHost(IVideoHostOwner& owner)
    : CComObject(1),
      m_hParent(nullptr),
      m_owner(owner),
      m_bFirstSessionIDs(1),
      m_nAlarmInterval(0),
      m_nPlugInType(0),
      m_bIsolated(1) {
  m_status.m_bBound = 1;
  m_status.m_pHost = this;
}

CQelVorlaProxyHost::~CQelVorlaProxyHost() { Destroy(); }

void CQelVorlaProxyHost::AdoptProxy(CComRef<IQelVideoProxy> proxy) { m_proxies.push_back(std::move(proxy)); }

void CQelVorlaProxyHost::AddConfig(std::unique_ptr<CSrcConfig> config) { m_configs.push_back(std::move(config)); }

HRESULT CQelVorlaProxyHost::ReservedCallback(LONG) { return 0; }

bool CQelVorlaProxyHost::Initialize(CBBInfo3* pCallback, ITalkBack* pTalkback) {
  Log(3, "VideoHost::Initialize: Initializing...");
  m_callback.SetCBBInterface(pCallback);
  m_talkback.SetTalkbackInterface(pTalkback);
  std::unique_ptr<CSrcConfig> config(new (std::nothrow) CSrcConfig);
  if (config == nullptr) {
    Log(1, kFailedVideoHostAllocation);
    return false;
  }
  AddConfig(std::move(config));
  Log(3, "VideoHost::Initialize: Done");
  return true;
}

void CQelVorlaProxyHost::OnCreateControl(HWND hParent) {
  Log(3, "VideoHost::OnCreateControl: Creating...");
  m_hParent = hParent;
  Log(3, "VideoHost::OnCreateControl: Done");
}

void CQelVorlaProxyHost::OnDeleteControl() {
  Log(3, "VideoHost::OnDeleteControl: Deleting...");
  SendHeartbeat(1);
  CloseProxyConnections();
  Log(3, "VideoHost::OnDeleteControl: Done");
}

void CQelVorlaProxyHost::Destroy() {
  Log(3, "VideoHost::Destroy: Destroying...");
  CloseProxyConnections();
  // One broken proxy must not keep the others alive: each release is guarded on its own.
  m_proxies.clear();
  m_status.m_pConfig = nullptr;
  m_configs.clear();
  m_callback.SetCBBInterface(nullptr);
  m_talkback.SetTalkbackInterface(nullptr);
  m_proxyPlugin.Unload();
  Log(3, "VideoHost::Destroy: Done");
}
