#include "control/qel_vorla_proxy_ctrl.h"

#include <new>

#include "host_interfaces/host_interfaces.h"
#include "control/module.h"
#include "log/ctrl_log.h"
#include "log/failure_lines.h"
#include "log/log.h"
#include "log/qel_error.h"

namespace {

// The timer period in milliseconds for any 32-bit interval, with no signed overflow: the product is
// formed in 64 bits and handed to the platform as the unsigned period it takes, wrapping as the
// platform's own 32-bit arithmetic would.
UINT TimerPeriod(LONG seconds) {
  return static_cast<UINT>(static_cast<uint64_t>(static_cast<int64_t>(seconds) * 1000));
}

}  // namespace

CQelVorlaProxyCtrl::CQelVorlaProxyCtrl(LONG nUCID)
    : m_nUCID(nUCID),
      m_hParent(nullptr),
      m_nShowCount(0),
      m_bWndCreateTried(0) {}

CQelVorlaProxyCtrl::~CQelVorlaProxyCtrl() {
  // Released without DeleteControl: the proxies hold the video host's callback until their connections
  // close, so they are closed first, as DeleteControl closes them (without its closing beat). Otherwise
  // the video host, its proxies and the plug-in library would outlive the control they point back to.
  if (m_pVideoHost) m_pVideoHost->CloseProxyConnections();
  m_pVideoHost.Reset();
  // The window outlives DeleteControl only when the host never called it. It goes with its holder, after
  // this, and without a word: a line now would reopen the log that the last control closed.
  TheModule().Controls().Remove(this);
}

HRESULT CQelVorlaProxyCtrl::QueryInterface(REFIID iid, void** ppv) {
  return Answer(iid, ppv,
                {{IID_IUnknown, TermControl()},
                 {IID_IQELTermControl, TermControl()},
                 {IID_IQELImageNotify, static_cast<IQELImageNotify*>(this)},
                 {IID_IQELTCWinMan2, static_cast<IQELTCWinMan2*>(this)}});
}

HRESULT CQelVorlaProxyCtrl::ImageNotify(LONG) { return S_OK; }

HRESULT CQelVorlaProxyCtrl::ProcessBuf(const BYTE* buffer, LONG size) {
  Log(3, "ProcessBuf: Size=%d", static_cast<int>(size));
  if (m_pVideoHost) m_pVideoHost->OnProcessQelVideoCmd(buffer, size);
  return 0;
}

void CQelVorlaProxyCtrl::AskForBroadcasts(IUnknown* pHostUnknown) {
  CComRef<ICBBSetCtrl> setCtrl = QueryRefOrEmpty<ICBBSetCtrl>(pHostUnknown, IID_ICBBSetCtrl);
  if (!setCtrl) {
    Log(1, kFailedHostSetCtrl);
    return;
  }
  Log(3, "InitControl: Requesting broadcast messages from CTRLBBOX");
  setCtrl->RequestBroadcast(1);
}

HRESULT CQelVorlaProxyCtrl::InitControl(HWND parent, IUnknown* pHostUnknown) {
  Log(1, "InitControl: UCID=0x%02X, Parent=0x%08X ================= CREATE =================",
      static_cast<unsigned int>(m_nUCID), Hex32(parent));
  m_hParent = parent;
  m_pVideoHost = CComRef<CQelVorlaProxyHost>::Adopt(new (std::nothrow) CQelVorlaProxyHost(*this));
  if (!m_pVideoHost) {
    Log(1, kFailedVideoHost);
    return 1;
  }
  if (pHostUnknown == nullptr) {
    Log(1, kFailedHostObject);
    return E_INVALIDARG;
  }
  // The host hands its reference over with the call; the control keeps one of its own for its life.
  CComRef<IUnknown> given = CComRef<IUnknown>::Adopt(pHostUnknown);
  KeepHostObject(pHostUnknown);
  AskForBroadcasts(pHostUnknown);

  CComRef<CBBInfo3> callback = QueryRefOrEmpty<CBBInfo3>(pHostUnknown, IID_CBBInfo3);
  if (!callback) Log(1, kFailedHostCallback);
  KeepHostInterfaces(pHostUnknown);
  given.Reset();
  if (HostTalkBack() == nullptr) Log(1, kFailedHostTalkback);
  if (CreateMessageOnlyWin() == 0) Log(1, kFailedControlWindow);

  m_pVideoHost->Initialize(callback.Get(), HostTalkBack());
  m_pVideoHost->OnCreateControl(m_hParent);
  callback.Reset();

  m_mediaLink.SetSubscriber(1, Window());
  if (m_mediaLink.Load(kMediaLinkLibrary))
    m_mediaLink.SubscribeMsg();
  else
    Log(1, kFailedMediaLinkLoad, kMediaLinkLibrary);

  Log(1, "InitControl: Parent=0x%08X, Wnd=0x%08X, Done", Hex32(m_hParent), Hex32(Window()));
  return 0;
}

HRESULT CQelVorlaProxyCtrl::DeleteControl() {
  Log(3, "DeleteControl: Parent=0x%08X, Deleting...", Hex32(m_hParent));
  if (m_mediaLink.IsLoaded() == 1) {
    m_mediaLink.UnsubscribeMsg();
    m_mediaLink.Unload();
  }
  if (m_pVideoHost) m_pVideoHost->OnDeleteControl();
  if (m_window.TimerID() != 0) StopTimer();
  m_window.Reset();
  m_pVideoHost.Reset();
  Log(1, "DeleteControl: Parent=0x%08X ================= DESTROY =================", Hex32(m_hParent));
  return 0;
}

HRESULT CQelVorlaProxyCtrl::ShowControl(LONG show) {
  Log(2, "ShowControl: %s", show != 0 ? "SHOW" : "HIDE");
  if (show != 0) {
    ++m_nShowCount;
    if (m_nShowCount < 1) {
      Log(2, "ShowControl: Count=%d, Still invisible", static_cast<int>(m_nShowCount));
      return 0;
    }
    if (m_nShowCount > 1) {
      Log(2, "ShowControl: Count=%d, Reset counter to 1", static_cast<int>(m_nShowCount));
      m_nShowCount = 1;
    }
  } else {
    --m_nShowCount;
  }
  Log(2, "ShowControl: Count=%d, Done", static_cast<int>(m_nShowCount));
  return 0;
}

int CQelVorlaProxyCtrl::CreateMessageOnlyWin() {
  if (m_bWndCreateTried || m_window.Get() != nullptr) return 1;
  m_bWndCreateTried = 1;
  if (!m_window.Create(this)) {
    Log(1, kFailedMessageWindow);
    return 0;
  }
  Log(2, "CreateMessageOnlyWin: Successfully created a message-only window, HWND=0x%08X", Hex32(m_window.Get()));
  return 1;
}

void CQelVorlaProxyCtrl::StopTimer() {
  const UINT_PTR timerId = m_window.TimerID();
  m_window.StopTimer();
  Log(2, "StopTimer: Successfully stopped heartbeat timer %d", static_cast<int>(timerId));
}

int CQelVorlaProxyCtrl::StartTimer(LONG seconds) {
  if (m_window.TimerID() != 0) StopTimer();
  if (seconds == -1) return 1;
  if (m_window.StartTimer(kHeartbeatTimerId, TimerPeriod(seconds)) == 0) {
    char text[256];
    Log(1, kFailedHeartbeatTimer, GetLastErrorText(text, sizeof text));
    return 0;
  }
  Log(2, "StartTimer: Successfully started heartbeat timer %d", static_cast<int>(m_window.TimerID()));
  return 1;
}

void CQelVorlaProxyCtrl::OnTimer(UINT_PTR) {
  ProcessLog().CheckSize();
  if (m_pVideoHost) m_pVideoHost->SendHeartbeat(0);
}

LRESULT CQelVorlaProxyCtrl::OnVorlaLinkKillStream(WPARAM wParam, LPARAM lParam) {
  Log(2, "OnVorlaLinkKillStream: This=0x%08X, Sender=0x%08X", Hex32(Window()),
      Hex32(reinterpret_cast<const void*>(wParam)));
  if (reinterpret_cast<HWND>(wParam) == Window()) {
    Log(2, "OnVorlaLinkKillStream: Sent by myself, ignored");
    return 0;
  }
  if (lParam == static_cast<LPARAM>(m_nUCID)) {
    Log(2, "OnVorlaLinkKillStream: UCID=%d, Sent by the same control type, ignored", static_cast<int>(lParam));
    return 0;
  }
  if (m_pVideoHost) {
    if (m_pVideoHost->IsIsolated())
      Log(2, "OnVorlaLinkKillStream: I'm isolated, ignored");
    else
      m_pVideoHost->Suspend();
  }
  return 0;
}

void CQelVorlaProxyCtrl::ForEachLivePlayer(const std::function<void(CQelVorlaProxyHost*)>& visit) {
  TheModule().Controls().Visit(
      [&visit](const CQelVorlaProxyCtrl* ctrl) { visit(ctrl != nullptr ? ctrl->VideoHost() : nullptr); });
}
