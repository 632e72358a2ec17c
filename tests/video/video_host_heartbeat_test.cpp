#include <gtest/gtest.h>

#include "base/clock.h"
#include "log/ctrl_log.h"
#include "log/log.h"
#include "support/log_reader.h"
#include "video_host_fixture.h"
#include "support/src_config_probe.h"

namespace {

// 7 December 2026 02:17:28 local time, with the matching epoch seconds.
constexpr int64_t kNowSeconds = 1796609848;
const ClockReading kNow{kNowSeconds * 1000, 2026, 12, 7, 2, 17, 28, 0};

class HeartbeatTest : public VideoHostTest {
 protected:
  void SetUp() override {
    VideoHostTest::SetUp();
    PinClock(&kNow);
    m_video->SetHeartbeatAlarmInterval(30);
  }
  void TearDown() override {
    PinClock(nullptr);
    VideoHostTest::TearDown();
  }
  FakeProxy& ActiveProxy(int64_t secondsAgo) {
    FakeProxy& proxy = AddProxy();
    proxy.config.AddConnection(0, "http://media.example.com/live", kConnectionTypePlug);
    Fields(proxy.config).m_nSessionID1 = 0;
    Fields(proxy.config).m_nSessionID2 = 0;
    proxy.lastActivity = kNowSeconds - secondsAgo;
    return proxy;
  }
  std::vector<HostRequest> Alarms() {
    std::vector<HostRequest> alarms;
    for (const HostRequest& request : m_host.Requests())
      if (request.opCode == 87) alarms.push_back(request);
    return alarms;
  }
};

}  // namespace

TEST_F(HeartbeatTest, WorkedExampleTextAndAlarmBytes) {
  ActiveProxy(5);
  EXPECT_EQ(m_video->FormatPlayerStatus(0), "1;17;;;12/07/2026 02:17:28;1;0;0;5;0;0;0");
  EXPECT_EQ(m_video->SendHeartbeat(0), 1);
  const std::vector<HostRequest> alarms = Alarms();
  ASSERT_EQ(alarms.size(), 1u);
  ASSERT_EQ(alarms[0].buffer.size(), 45u);
  EXPECT_EQ(Bytes(alarms[0].buffer.begin(), alarms[0].buffer.begin() + 4), (Bytes{0x00, 0x35, 0x00, 0x29}));
  EXPECT_EQ(alarms[0].buffer.back(), 0);
}

TEST_F(HeartbeatTest, OwnLinesAndResultByOutcomeAndLevel) {
  ActiveProxy(5);
  const std::string text = "1;17;;;12/07/2026 02:17:28;1;0;0;5;0;0;0";
  const struct {
    const char* what;
    void (*arrange)(FakeHost&, CQelVorlaProxyHost&);
    LONG level;
    int result;
    Lines lines;
  } rows[] = {
      // In order: each row leaves the channel as the next one finds it.
      {"accepted", [](FakeHost& host, CQelVorlaProxyHost&) { host.SetRequestAnswer(87, RequestAnswer{S_OK, 5}); }, 3,
       1, {"VideoHost::SendHeartbeat: UCID=53, Size=40: " + text, "VideoHost::SendHeartbeat: RCode=5, Done"}},
      {"accepted, below the routine level", [](FakeHost&, CQelVorlaProxyHost&) {}, 2, 1, {}},
      {"refused", [](FakeHost& host, CQelVorlaProxyHost&) { host.SetRequestAnswer(87, RequestAnswer{E_FAIL, 0}); },
       1, 0, {"VideoHost::SendHeartbeat: RCode=0, Failed"}},
      {"channel off",
       [](FakeHost& host, CQelVorlaProxyHost& video) {
         host.SetCallbackStatus(0);
         video.Initialize(host.Callback(), host.TalkBack());
       },
       1, 0, {"VideoHost::SendHeartbeat: RCode=0, Failed"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    row.arrange(m_host, *m_video);
    const std::string file = m_dir.File(std::string(row.what) + ".log");
    ProcessLog().Close();
    ProcessLog().UseSettings(file, row.level, 1024000);
    EXPECT_EQ(m_video->SendHeartbeat(0), row.result);
    ProcessLog().Close();
    Lines lines;
    for (const std::string& line : ReadLogLines(file))
      if (line.rfind("VideoHost::SendHeartbeat", 0) == 0) lines.push_back(line);
    EXPECT_EQ(lines, row.lines);
  }
}

TEST_F(HeartbeatTest, StateFollowsIdleTimeAndClosing) {
  FakeProxy& proxy = ActiveProxy(29);
  EXPECT_EQ(m_video->FormatPlayerStatus(0).substr(26, 3), ";1;");
  proxy.lastActivity = kNowSeconds - 30;
  EXPECT_EQ(m_video->FormatPlayerStatus(0).substr(26, 3), ";6;");
  EXPECT_EQ(m_video->FormatPlayerStatus(1).substr(26, 3), ";4;") << "a closing beat even when idle";
  proxy.lastActivity = 0;
  EXPECT_EQ(m_video->FormatPlayerStatus(0).substr(26, 3), ";1;") << "never active counts as active";
}

TEST_F(HeartbeatTest, CountersSessionsAndMProxy) {
  FakeProxy& first = ActiveProxy(1);
  FakeProxy& second = AddProxy();
  first.byteCount = 100;
  second.byteCount = 25;
  first.config.AddConnection(0, "http://media.example.com/live", kConnectionTypeMProxy);
  Fields(first.config).m_nSessionID1 = -1;
  Fields(first.config).m_nSessionID2 = 42;
  EXPECT_EQ(m_video->FormatPlayerStatus(0), "1;17;-1;42;12/07/2026 02:17:28;1;0;1000;7;0;0;0");
}

TEST_F(HeartbeatTest, NothingWithoutIntervalOrProxy) {
  EXPECT_EQ(m_video->SendHeartbeat(0), 0) << "no proxy, no configuration to report";
  ActiveProxy(1);
  m_video->SetHeartbeatAlarmInterval(0);
  EXPECT_EQ(m_video->SendHeartbeat(1), 0);
  EXPECT_TRUE(Alarms().empty());
  EXPECT_TRUE(LinesStartingWith("VideoHost::SendHeartbeat").empty());
}

TEST_F(HeartbeatTest, SessionChangeSendsAClosingBeatWithTheOldIdentifiers) {
  FakeProxy& proxy = ActiveProxy(1);
  m_video->SetAASSessionIDs(5, 6);
  EXPECT_TRUE(Alarms().empty()) << "the first identifiers end no session";
  m_video->SetAASSessionIDs(7, 8);
  const std::vector<HostRequest> alarms = Alarms();
  ASSERT_EQ(alarms.size(), 1u);
  const std::string text(alarms[0].buffer.begin() + 4, alarms[0].buffer.end() - 1);
  EXPECT_EQ(text, "1;17;5;6;12/07/2026 02:17:28;4;0;0;5;0;0;0");
  EXPECT_EQ(Fields(proxy.config).m_nSessionID1, 7);
}

TEST_F(HeartbeatTest, EpochTimeResults) {
  DWORD time = 99;
  EXPECT_EQ(m_video->GetEpochTime(nullptr), E_INVALIDARG);
  m_host.SetEpochTime(0x5F5E1000);
  EXPECT_EQ(m_video->GetEpochTime(&time), 0);
  EXPECT_EQ(time, 0x5F5E1000u);
  m_host.SetRequestAnswer(12, RequestAnswer{S_OK, 3});
  EXPECT_EQ(m_video->GetEpochTime(&time), 1);
  EXPECT_EQ(time, 0u);
  EXPECT_EQ(LinesStartingWith("VideoHost::GetEpochTime"),
            (Lines{"VideoHost::GetEpochTime: Time=5F5E1000", "VideoHost::GetEpochTime: Time=0"}));
}
