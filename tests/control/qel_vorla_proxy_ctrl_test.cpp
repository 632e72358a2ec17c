// The control as the host drives it, with the fake host and the process log read back.
#include "control/qel_vorla_proxy_ctrl.h"

#include <gtest/gtest.h>

#include "control/exports.h"
#include "control/module.h"
#include "log/ctrl_log.h"
#include "log/log.h"
#include "log/log_escape.h"
#include "log/qel_error.h"
#include "support/process_log_test.h"
#include "video/command_writer.h"
#include "video/fake_proxy.h"

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The lines that begin with one of the prefixes, in order.
Lines Only(const Lines& lines, std::initializer_list<const char*> prefixes) {
  Lines kept;
  for (const std::string& line : lines)
    for (const char* prefix : prefixes)
      if (StartsWith(line, prefix)) {
        kept.push_back(line);
        break;
      }
  return kept;
}

class ControlTest : public ProcessLogTest {
 protected:
  void SetUp() override {
    ProcessLogTest::SetUp();
    ASSERT_EQ(ControlFactoryX(53, &m_unknown, 0), 1);
    m_term = static_cast<IQELTermControl*>(m_unknown);
    m_ctrl = static_cast<CQelVorlaProxyCtrl*>(m_term);
  }
  void TearDown() override {
    if (m_unknown != nullptr) m_unknown->Release();
    ProcessLogTest::TearDown();
  }
  void InitWithHost() {
    m_host.AddRef();  // the reference the host hands in with its object
    ASSERT_EQ(m_term->InitControl(nullptr, m_host.Unknown()), 0);
  }
  void Send(const CommandBytes& bytes) { m_term->ProcessBuf(bytes.data(), static_cast<LONG>(bytes.size())); }
  size_t Alarms() {
    size_t alarms = 0;
    for (const HostRequest& request : m_host.Requests()) alarms += request.opCode == 87;
    return alarms;
  }
  IUnknown* m_unknown = nullptr;
  IQELTermControl* m_term = nullptr;
  CQelVorlaProxyCtrl* m_ctrl = nullptr;
};

}  // namespace

TEST_F(ControlTest, FactoryHandsOutOneReferenceAndRegisters) {
  EXPECT_EQ(m_ctrl->RefCount(), 1);
  EXPECT_EQ(m_ctrl->OwnerUCID(), 53);
  EXPECT_EQ(m_unknown->AddRef(), 2u);
  EXPECT_EQ(m_unknown->Release(), 1u);
  EXPECT_TRUE(TheModule().Controls().Contains(m_ctrl));
  EXPECT_EQ(TheModule().Controls().Count(), 1);
  EXPECT_EQ(Only(LoggedLines(), {"AddControl"}), Lines{"AddControl: Count=1"});
}

TEST_F(ControlTest, QueryInterfaceAnswersFourIdentifiers) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(m_unknown->QueryInterface(IID_IQELTermControl, &out), S_OK);
  EXPECT_EQ(out, static_cast<void*>(m_term));
  m_term->Release();
  IQELImageNotify* image = nullptr;
  ASSERT_EQ(m_unknown->QueryInterface(IID_IQELImageNotify, reinterpret_cast<void**>(&image)), S_OK);
  void* viaImage = nullptr;
  EXPECT_EQ(image->QueryInterface(IID_IUnknown, &viaImage), S_OK);
  EXPECT_EQ(viaImage, static_cast<void*>(m_term)) << "every interface answers with one identity";
  static_cast<IUnknown*>(viaImage)->Release();
  image->Release();
  void* winMan = nullptr;
  EXPECT_EQ(m_unknown->QueryInterface(IID_IQELTCWinMan2, &winMan), S_OK);
  static_cast<IUnknown*>(winMan)->Release();
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(m_unknown->QueryInterface(IID_ICBBSetCtrl, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(m_unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(m_ctrl->RefCount(), 1);
}

TEST_F(ControlTest, RefusedFactoryCallsCreateNothing) {
  IUnknown* untouched = reinterpret_cast<IUnknown*>(0x1234);
  EXPECT_EQ(ControlFactoryX(54, &untouched, 0), 0);
  EXPECT_EQ(untouched, reinterpret_cast<IUnknown*>(0x1234));
  EXPECT_EQ(ControlFactoryX(53, nullptr, 0), 0);
  IUnknown* wide = nullptr;
  EXPECT_EQ(ControlFactoryX(0x10035, &wide, 0), 1) << "only the low 16 bits name the type";
  EXPECT_EQ(TheModule().Controls().Count(), 2);
  wide->Release();
  LONG first = 7, second = 7;
  EXPECT_EQ(Version(99, &first, &second), 1);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(Version(0, nullptr, nullptr), 1);
}

TEST_F(ControlTest, InitWithANullHostKeepsTheVideoHost) {
  EXPECT_EQ(m_term->InitControl(reinterpret_cast<HWND>(0x42), nullptr), E_INVALIDARG);
  ASSERT_NE(m_ctrl->VideoHost(), nullptr);
  EXPECT_EQ(m_term->ProcessBuf(nullptr, 0), 0);
  EXPECT_EQ(Only(LoggedLines(), {"InitControl", "ProcessBuf", "VideoHost::OnProcessQelVideoCmd"}),
            (Lines{"InitControl: UCID=0x35, Parent=0x00000042 ================= CREATE =================",
                   "InitControl: IUnknown passed to InitControl is invalid", "ProcessBuf: Size=0",
                   "VideoHost::OnProcessQelVideoCmd: Failed to parse command message"}));
}

TEST_F(ControlTest, HostAnsweringNothingIsLoggedInOrderAndBalanced) {
  m_host.AnswerNone();
  m_host.AddRef();  // the reference the host hands in with its object
  EXPECT_EQ(m_term->InitControl(nullptr, m_host.Unknown()), 0);
  EXPECT_EQ(Only(LoggedLines(), {"InitControl: CTRLBBOX", "InitControl: Failed to create CBBInfo3",
                                 "InitControl: Failed to initialize"}),
            (Lines{"InitControl: CTRLBBOX IUnknow does not support ICBBSetCtrl",
                   "InitControl: Failed to create CBBInfo3 talk back interface",
                   "InitControl: Failed to initialize Strovek TALK BACK interface"}));
  EXPECT_EQ(m_host.RefCount(), 1) << "the handed-in reference is the one the control keeps";
  m_term->DeleteControl();
  m_unknown->Release();
  m_unknown = nullptr;
  EXPECT_EQ(m_host.RefCount(), 0);
}

TEST_F(ControlTest, ShowCounterNeverRisesAboveOne) {
  for (LONG show : {1, 1, 0, 0, 1}) m_term->ShowControl(show);
  EXPECT_EQ(m_ctrl->ShowCount(), 0);
  EXPECT_EQ(Only(LoggedLines(), {"ShowControl"}),
            (Lines{"ShowControl: SHOW", "ShowControl: Count=1, Done", "ShowControl: SHOW",
                   "ShowControl: Count=2, Reset counter to 1", "ShowControl: Count=1, Done", "ShowControl: HIDE",
                   "ShowControl: Count=0, Done", "ShowControl: HIDE", "ShowControl: Count=-1, Done",
                   "ShowControl: SHOW", "ShowControl: Count=0, Still invisible"}));
}

TEST_F(ControlTest, TimerNeedsAWindow) {
  EXPECT_EQ(m_ctrl->StartTimer(-1), 1);
  EXPECT_EQ(m_ctrl->StartTimer(30), 0);
  EXPECT_EQ(m_ctrl->TimerID(), 0u);
  const Lines lines = Only(LoggedLines(), {"StartTimer", "StopTimer"});
  ASSERT_EQ(lines.size(), 1u) << "-1 without a running timer logs nothing";
  EXPECT_TRUE(StartsWith(lines[0], "StartTimer: Failed to start heartbeat timer: "));
}

TEST_F(ControlTest, DeleteWithoutInitLogsItsFirstAndLastLine) {
  EXPECT_EQ(m_term->DeleteControl(), 0);
  EXPECT_EQ(Only(LoggedLines(), {"DeleteControl"}),
            (Lines{"DeleteControl: Parent=0x00000000, Deleting...",
                   "DeleteControl: Parent=0x00000000 ================= DESTROY ================="}));
}

TEST_F(ControlTest, LastReleaseLeavesTheRegistryAndClosesTheLog) {
  m_unknown->Release();
  m_unknown = nullptr;
  EXPECT_EQ(TheModule().Controls().Count(), 0);
  EXPECT_FALSE(ProcessLog().IsOpen());
  EXPECT_EQ(Only(LoggedLines(), {"AddControl", "RemoveControl"}),
            (Lines{"AddControl: Count=1", "RemoveControl: Count=0"}));
}

TEST_F(ControlTest, KillStreamNoticeFromMyselfOrMyTypeIsIgnored) {
  // Before InitControl the control has no window: a notice from no window is its own.
  ASSERT_EQ(m_ctrl->Window(), nullptr);
  m_ctrl->OnVorlaLinkKillStream(0, 60);
  m_ctrl->OnVorlaLinkKillStream(0x88, 53);
  m_ctrl->OnVorlaLinkKillStream(0x88, 60);  // no video host: only the first line
  EXPECT_EQ(Only(LoggedLines(), {"OnVorlaLinkKillStream"}),
            (Lines{"OnVorlaLinkKillStream: This=0x00000000, Sender=0x00000000",
                   "OnVorlaLinkKillStream: Sent by myself, ignored",
                   "OnVorlaLinkKillStream: This=0x00000000, Sender=0x00000088",
                   "OnVorlaLinkKillStream: UCID=53, Sent by the same control type, ignored",
                   "OnVorlaLinkKillStream: This=0x00000000, Sender=0x00000088"}));
}

TEST_F(ControlTest, PlayWithoutTheProxyPluginSendsNoPort) {
  InitWithHost();
  Send(Cmd::url(0, 1, "http://media.example.com/live"));  // no plug-in library beside this program
  EXPECT_TRUE(m_host.TalkbackMessages().empty());
  char error[255];
  SetLastError(ERROR_MOD_NOT_FOUND);
  // The system's text ends in its own line break, which stays inside the log line as escapes.
  const std::string text = EscapeLogText(GetLastErrorText(error, sizeof error));
  EXPECT_EQ(Only(LoggedLines(), {"VideoHost::LoadProxyPlugin", "VideoHost::StartLocalProxies: Failed"}),
            (Lines{"VideoHost::LoadProxyPlugin: VideoProxy plugin loaded failed, error=" + text,
                   "VideoHost::StartLocalProxies: Failed to load proxy plugin dll"}));
}

TEST_F(ControlTest, OnlyATakingPartPlayerIsSuspendedByAStopNotice) {
  InitWithHost();
  m_ctrl->OnVorlaLinkKillStream(0x88, 60);
  EXPECT_TRUE(m_host.TalkbackMessages().empty()) << "an isolated player keeps playing";
  Send(Cmd::isolated(0));
  m_ctrl->OnVorlaLinkKillStream(0x88, 60);
  EXPECT_EQ(m_host.TalkbackMessages(), (std::vector<Bytes>{{0x00, 0xF9, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}}));
  EXPECT_EQ(Only(LoggedLines(), {"OnVorlaLinkKillStream: I'm", "VideoHost::Suspend"}),
            (Lines{"OnVorlaLinkKillStream: I'm isolated, ignored",
                   "VideoHost::Suspend: Sent proxy status (1) successfully"}));
}

#ifdef _WIN32
TEST_F(ControlTest, ATimerStartedAgainStopsTheFirstAndEveryTimerMessageBeats) {
  FakeProxy proxy;  // outlives the control, whose video host releases it
  InitWithHost();
  m_ctrl->VideoHost()->AdoptProxy(CComRef<IQelVideoProxy>::Adopt(&proxy));
  Send(Cmd::alarmInterval(5));
  Send(Cmd::alarmInterval(5));
  EXPECT_EQ(Only(LoggedLines(), {"StartTimer", "StopTimer"}),
            (Lines{"StartTimer: Successfully started heartbeat timer 99",
                   "StopTimer: Successfully stopped heartbeat timer 99",
                   "StartTimer: Successfully started heartbeat timer 99"}));
  for (const WPARAM timerId : {99, 7}) SendMessageA(m_ctrl->Window(), WM_TIMER, timerId, 0);
  EXPECT_EQ(Alarms(), 2u) << "a tick of another identifier beats as the heartbeat's own";
  m_unknown->Release();
  m_unknown = nullptr;
}
#endif
