#include <gtest/gtest.h>

#include <cstdio>

#include "video_host_fixture.h"

namespace {

class StopTest : public VideoHostTest {
 protected:
  void TearDown() override {
    for (CQelVorlaProxyHost* other : m_others) other->Release();
    VideoHostTest::TearDown();
  }
  CQelVorlaProxyHost* Player(LONG isolated) {
    CQelVorlaProxyHost* other = new CQelVorlaProxyHost(m_owner);
    other->Initialize(m_host.Callback(), m_host.TalkBack());
    other->SetIsolatedFlag(isolated);
    m_others.push_back(other);
    return other;
  }
  std::vector<CQelVorlaProxyHost*> m_others;
};

}  // namespace

TEST_F(StopTest, SuspendsOtherTakingPartPlayersOnly) {
  CQelVorlaProxyHost* takingPart = Player(0);
  CQelVorlaProxyHost* isolated = Player(1);
  m_owner.players = {m_video, nullptr, takingPart, isolated};
  m_video->SetIsolatedFlag(0);
  m_video->StopEveryone();
  EXPECT_EQ(m_host.TalkbackMessages(), (std::vector<Bytes>{{0x00, 0xF9, 0x00, 0x11, 0x00, 0x00, 0x00, 0x01}}))
      << "one suspension: neither itself nor the isolated player";
  Lines lines = LinesStartingWith("VideoHost::StopEveryone");
  for (const std::string& line : LinesStartingWith("VideoHost::Suspend")) lines.push_back(line);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "VideoHost::StopEveryone: Post VOLink message successfully");
  char suspended[64];
  std::snprintf(suspended, sizeof suspended, "VideoHost::StopEveryone: Suspend 0x%08X",
                static_cast<unsigned int>(reinterpret_cast<uintptr_t>(takingPart)));
  EXPECT_EQ(lines[1], suspended);
  EXPECT_EQ(lines[2], "VideoHost::Suspend: Sent proxy status (1) successfully");
}

TEST_F(StopTest, FailedPostStillWalksTheProcess) {
  m_owner.postResult = -1;
  CQelVorlaProxyHost* takingPart = Player(0);
  m_owner.players = {takingPart};
  m_video->StopEveryone();
  EXPECT_EQ(m_host.TalkbackMessages().size(), 1u);
  EXPECT_EQ(LinesStartingWith("VideoHost::StopEveryone: Failed").size(), 1u);
}

TEST_F(StopTest, SuspendReportsThenClosesEvenWhenTheReportFails) {
  FakeProxy& proxy = AddProxy();
  m_host.SetTalkbackResult(E_FAIL);
  m_video->Suspend();
  EXPECT_EQ(proxy.calls, (std::vector<std::string>{"PrepareClose(1)", "CloseConnections(1)"}));
  EXPECT_EQ(LinesStartingWith("VideoHost::Suspend"), (Lines{"VideoHost::Suspend: Failed to sent proxy status (1)"}));
}

TEST_F(StopTest, IsolatedPlayerStartsWithoutStoppingAnyone) {
  CQelVorlaProxyHost* takingPart = Player(0);
  m_owner.players = {takingPart};
  AddProxy();
  EXPECT_EQ(m_video->StartPlay(), 1);
  EXPECT_EQ(m_host.TalkbackMessages().size(), 1u) << "only the port report";
  EXPECT_TRUE(LinesStartingWith("VideoHost::StopEveryone").empty());
}
