// A control's whole life on the real library, as the host terminal lives it: created, initialised,
// configured by commands, playing through the proxy plug-in stand-in, beating on its timer through the
// real message loop, deleted and released, with the log closing after the last control.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>

#include "host_interfaces/term_interfaces.h"
#include "loaded_dll.h"
#include "proxy_standin_control.h"
#include "support/fake_host.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"
#include "video/command_writer.h"

namespace {

using Lines = std::vector<std::string>;

bool Has(const Lines& lines, const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

// The controls' message-only windows that live in this process.
int ControlWindowsHere() {
  int count = 0;
  HWND window = nullptr;
  while ((window = FindWindowExA(HWND_MESSAGE, window, nullptr, "CQelVorlaProxyCtrl")) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    count += process == GetCurrentProcessId() ? 1 : 0;
  }
  return count;
}

class ControlLife : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_standIn.Loaded());
    StandInBehaviour behaviour;
    behaviour.firstPort = 8123;
    behaviour.configFromCreate = 1;
    m_standIn.Configure(behaviour);
    ASSERT_TRUE(m_dll.Loaded());
  }
  void Send(IQELTermControl* control, const CommandBytes& bytes) {
    EXPECT_EQ(control->ProcessBuf(bytes.data(), static_cast<LONG>(bytes.size())), S_OK);
  }
  Lines LogLines() { return ReadLogLines(m_dir.File("life.log")); }
  // Only a file that no handle holds opens without sharing.
  bool LogClosed() {
    HANDLE file = CreateFileA(m_dir.File("life.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  }
  // A control created and initialised on the fake host, held through its one reference.
  IQELTermControl* InitialisedControl() {
    IUnknown* unknown = m_dll.CreateControl();
    if (unknown == nullptr) return nullptr;
    IQELTermControl* control = nullptr;
    unknown->QueryInterface(IID_IQELTermControl, reinterpret_cast<void**>(&control));
    unknown->Release();
    if (control == nullptr) return nullptr;
    m_host.AddRef();  // the reference the host hands in with its object
    EXPECT_EQ(control->InitControl(nullptr, m_host.Unknown()), S_OK);
    return control;
  }

  TempDir m_dir;
  // Loaded first and kept, so the behaviour set here survives the control's own loads of the file.
  StandInLibrary m_standIn{"QelVideoProxy_WMP.dll"};
  LoadedDll m_dll{m_dir.File("life.log"), 3};
  FakeHost m_host;
};

}  // namespace

TEST_F(ControlLife, FromFactoryToTheLastRelease) {
  LONG first = 0, second = 7;
  EXPECT_EQ(m_dll.Version(&first, &second), 1);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);

  IUnknown* unknown = m_dll.CreateControl();
  ASSERT_NE(unknown, nullptr);
  IQELTermControl* control = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IQELTermControl, reinterpret_cast<void**>(&control)), S_OK);
  EXPECT_EQ(unknown->Release(), 1u);
  IQELTCWinMan2* winMan = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IQELTCWinMan2, reinterpret_cast<void**>(&winMan)), S_OK);
  winMan->SetACID(17);
  winMan->Release();

  m_host.AddRef();  // the reference the host hands in with its object
  EXPECT_EQ(control->InitControl(reinterpret_cast<HWND>(0x1234), m_host.Unknown()), S_OK);
  EXPECT_EQ(m_host.BroadcastRequests(), std::vector<LONG>{1});

  Send(control, Cmd::isolated(1));
  Send(control, Cmd::sessionIds(0, 0));
  Send(control, Cmd::url(0, 1, "http://media.example.com/live"));
  ASSERT_EQ(m_host.TalkbackMessages().size(), 1u) << "the first URL starts play and reports the port";
  EXPECT_EQ(m_host.TalkbackMessages()[0], (Bytes{0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x1F, 0xBB}));

  Send(control, Cmd::alarmInterval(1));
  PumpMessages(2500);
  std::vector<HostRequest> alarms;
  for (const HostRequest& request : m_host.Requests())
    if (request.opCode == 87) alarms.push_back(request);
  ASSERT_GE(alarms.size(), 1u) << "the timer ticks through the real message loop and each tick beats";
  const Bytes& beat = alarms.front().buffer;
  ASSERT_GE(beat.size(), 4u);
  EXPECT_EQ(beat[0], 0x00);
  EXPECT_EQ(beat[1], 0x35);
  const std::string text(beat.begin() + 4, beat.end() - 1);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(1;17;;;\d\d/\d\d/\d{4} \d\d:\d\d:\d\d;1;0;0;5;0;0;0)"))) << text;
  EXPECT_EQ(beat[3], text.size() + 1) << "the length counts the text's NUL";

  // A new session closes the old one with a beat that still carries the old identifiers.
  Send(control, Cmd::sessionIds(5, 6));
  std::vector<HostRequest> afterSession;
  for (const HostRequest& request : m_host.Requests())
    if (request.opCode == 87) afterSession.push_back(request);
  ASSERT_EQ(afterSession.size(), alarms.size() + 1);
  const std::string closing(afterSession.back().buffer.begin() + 4, afterSession.back().buffer.end() - 1);
  EXPECT_TRUE(std::regex_match(closing, std::regex(R"(1;17;;;[^;]*;4;0;0;5;0;0;0)"))) << closing;

  const size_t beatsBeforeDelete = afterSession.size();
  EXPECT_EQ(control->DeleteControl(), S_OK);
  size_t beatsAfterDelete = 0;
  for (const HostRequest& request : m_host.Requests()) beatsAfterDelete += request.opCode == 87;
  EXPECT_EQ(beatsAfterDelete, beatsBeforeDelete + 1) << "deletion sends the closing beat";
  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(m_host.RefCount(), 0) << "every host interface the control took is given back";
  EXPECT_EQ(m_host.Unexpected(), Lines{});

  const Lines lines = LogLines();
  EXPECT_TRUE(Has(lines, "AddControl: Count=1"));
  EXPECT_TRUE(Has(lines, "InitControl: UCID=0x35, Parent=0x00001234 ================= CREATE ================="));
  EXPECT_TRUE(Has(lines, "VideoHost::StartPlay: ACID=17, Port=8123"));
  EXPECT_TRUE(Has(lines, "DeleteControl: Parent=0x00001234 ================= DESTROY ================="));
  EXPECT_EQ(lines.back(), "RemoveControl: Count=0") << "the log closes with the last control";
}

TEST_F(ControlLife, ReleasedWithoutDeleteWhileItsTimerRunsWritesNothingAfterLeaving) {
  IQELTermControl* control = InitialisedControl();
  ASSERT_NE(control, nullptr);
  Send(control, Cmd::alarmInterval(1));
  ASSERT_TRUE(Has(LogLines(), "StartTimer: Successfully started heartbeat timer 99"));
  ASSERT_EQ(ControlWindowsHere(), 1);

  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(ControlWindowsHere(), 0) << "the window and its timer go with the control";
  PumpMessages(1500);
  EXPECT_EQ(LogLines().back(), "RemoveControl: Count=0");
  EXPECT_TRUE(LogClosed()) << "the log stays closed with no control left";
}

// Without DeleteControl the proxies still hold the video host's callback when the host lets go of the
// control; only closing their connections makes them drop it.
TEST_F(ControlLife, ReleasedAfterPlayWithoutDeleteFreesItsProxiesAndThePlugIn) {
  constexpr const char* kPlugIn = "QelVideoProxy_SS.dll";
  auto standIn = std::make_unique<StandInLibrary>(kPlugIn);
  ASSERT_TRUE(standIn->Loaded());
  standIn->Configure(StandInBehaviour{});
  IQELTermControl* control = InitialisedControl();
  ASSERT_NE(control, nullptr);
  Send(control, Cmd::plugInType(1));
  Send(control, Cmd::url(0, 1, "http://media.example.com/live"));
  ASSERT_EQ(standIn->Counts().liveProxies, 1);

  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(standIn->Counts().liveProxies, 0) << "the proxy is destroyed";
  EXPECT_EQ(standIn->Counts().heldCallbacks, 0);
  EXPECT_EQ(m_host.RefCount(), 0) << "the video host gave back the host's interfaces";
  standIn.reset();
  EXPECT_EQ(GetModuleHandleA(kPlugIn), nullptr) << "the plug-in library is unloaded";
  EXPECT_EQ(LogLines().back(), "RemoveControl: Count=0");
  EXPECT_TRUE(LogClosed());
}

TEST_F(ControlLife, RefusedTypesAndNullOutputsCreateNothing) {
  EXPECT_EQ(m_dll.CreateControl(54), nullptr);
  EXPECT_EQ(m_dll.Version(nullptr, nullptr), 1);
  EXPECT_FALSE(FileExists(m_dir.File("life.log"))) << "a refused call writes no line";
}
