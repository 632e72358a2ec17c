// The control the host creates for each cell that shows a stream: a terminal control whose work is done
// by its video host, with a hidden message-only window for the heartbeat timer and the stop notice.
#pragma once

#include "control/message_window.h"
#include "control/user_ctrl_object.h"
#include "plugins/vorla_link_plugin.h"
#include "video/video_host.h"

inline constexpr LONG kQelVorlaProxyUCID = 53;
inline constexpr UINT_PTR kHeartbeatTimerId = 99;
inline constexpr const char* kMediaLinkLibrary = "QelVorlaLink.dll";

class CQelVorlaProxyCtrl : public CUserCtrlObject, public IMessageWindowOwner, public IVideoHostOwner {
 public:
  explicit CQelVorlaProxyCtrl(LONG nUCID);
  ~CQelVorlaProxyCtrl() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE ProcessBuf(const BYTE* buffer, LONG size) override;
  HRESULT STDMETHODCALLTYPE InitControl(HWND parent, IUnknown* pHostUnknown) override;
  HRESULT STDMETHODCALLTYPE ShowControl(LONG show) override;
  HRESULT STDMETHODCALLTYPE DeleteControl() override;
  HRESULT STDMETHODCALLTYPE ImageNotify(LONG value) override;

  // 1 on success (and for -1, which only stops the running timer), 0 when no timer could start.
  int StartTimer(LONG seconds) override;
  // 1 when the window exists or creation was tried before, 0 when this attempt failed.
  int CreateMessageOnlyWin();

  // The window's two messages.
  void OnTimer(UINT_PTR timerId) override;
  LRESULT OnVorlaLinkKillStream(WPARAM wParam, LPARAM lParam) override;

  // What the video host asks of its owner.
  LONG OwnerUCID() override { return m_nUCID; }
  LONG OwnerACID() override { return ACID(); }
  LONG PostStopNotice() override { return m_mediaLink.PostMsg(m_nUCID); }
  void ForEachLivePlayer(const std::function<void(CQelVorlaProxyHost*)>& visit) override;

  // What the tests and the registry's walk look at.
  HWND Window() const { return m_window.Get(); }
  LONG ShowCount() const { return m_nShowCount; }
  UINT_PTR TimerID() const { return m_window.TimerID(); }
  // Null before InitControl and after DeleteControl.
  CQelVorlaProxyHost* VideoHost() const { return m_pVideoHost.Get(); }

 private:
  LONG m_nUCID;
  HWND m_hParent;
  LONG m_nShowCount;
  CComRef<CQelVorlaProxyHost> m_pVideoHost;
  LONG m_bWndCreateTried;
  CVorlaLinkPlugin m_mediaLink;
  // Declared last, so it goes first of the members: the window and its timer go without a word once the
  // control has left the registry, before the media link is unloaded.
  CMessageWindow m_window;

  void StopTimer();
  void AskForBroadcasts(IUnknown* pHostUnknown);
};
