// Every way a command buffer can end in the dispatcher, read back from the process log.
#include <gtest/gtest.h>

#include "support/command_builder.h"
#include "support/process_log_test.h"
#include "video/video_host.h"

namespace {

// An owner with nothing to offer: the dispatcher's rows never reach it.
struct IdleOwner : IVideoHostOwner {
  LONG OwnerUCID() override { return 53; }
  LONG OwnerACID() override { return 0; }
  int StartTimer(LONG) override { return 1; }
  LONG PostStopNotice() override { return -1; }
  void ForEachLivePlayer(const std::function<void(CQelVorlaProxyHost*)>&) override {}
};

class DispatcherTest : public ProcessLogTest {
 protected:
  void SetUp() override {
    ProcessLogTest::SetUp();
    m_videoHost->Initialize(nullptr, nullptr);
  }
  void TearDown() override {
    m_videoHost->Release();
    ProcessLogTest::TearDown();
  }
  LONG Dispatch(const CommandBytes& bytes) {
    return m_videoHost->OnProcessQelVideoCmd(bytes.data(), static_cast<LONG>(bytes.size()));
  }
  // The dispatcher's own lines, without the operations' lines between them.
  Lines DispatcherLines() {
    Lines kept;
    for (const std::string& line : LoggedLines())
      if (line.rfind("VideoHost::OnProcessQelVideoCmd", 0) == 0) kept.push_back(line);
    return kept;
  }
  IdleOwner m_owner;
  CQelVorlaProxyHost* m_videoHost = new CQelVorlaProxyHost(&m_owner);
};

}  // namespace

TEST_F(DispatcherTest, UnparsableHeaderIsOneLineAndResultOne) {
  const CommandBytes shortLong = {0x00, 0x00, 0x00};
  EXPECT_EQ(Dispatch(shortLong), 1);
  EXPECT_EQ(m_videoHost->OnProcessQelVideoCmd(nullptr, 0), 1);
  EXPECT_EQ(DispatcherLines(), (Lines{"VideoHost::OnProcessQelVideoCmd: Failed to parse command message",
                                      "VideoHost::OnProcessQelVideoCmd: Failed to parse command message"}));
}

TEST_F(DispatcherTest, UnhandledCommandsAreNamedThenSetAside) {
  EXPECT_EQ(Dispatch(Cmd::sourcePortRange()), 0);
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 203).Done()), 0);
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 250).Done()), 0);
  EXPECT_EQ(DispatcherLines(),
            (Lines{"VideoHost::OnProcessQelVideoCmd: Cmd=84 [SourcePortRange], Data size=0",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=84, Unprocessed command",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=203 [Backup MNS Setting], Data size=0",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=203, Unrecognized command",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=250 [], Data size=0",
                   "VideoHost::OnProcessQelVideoCmd: Cmd=250, Unrecognized command"}));
}

TEST_F(DispatcherTest, PayloadThatDoesNotParseCallsNothingAndStillSucceeds) {
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 215, 2).SizeField(4).Be32(30).Done()), 0);
  EXPECT_EQ(Dispatch(CommandWriter(HeaderForm::Long, 241, 2).Be32(1).Done()), 0);
  EXPECT_EQ(m_videoHost->m_nAlarmInterval, 0);
  EXPECT_EQ(m_videoHost->m_nPlugInType, 0);
  const Lines lines = DispatcherLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "VideoHost::OnProcessQelVideoCmd: Cmd=215 [Player Alarm Interval], Processed successfully");
  EXPECT_EQ(lines[3].substr(lines[3].rfind(", ")), ", Processed successfully");
}

TEST_F(DispatcherTest, NegativeStatusClosesWithFailure) {
  // A load-file text that starts with a NUL reaches the URL setter as an empty URL.
  const CommandBytes emptyText = CommandWriter(HeaderForm::Long, 21).Be32(0).Be32(1).Bytes(std::string(1, '\0')).Done();
  EXPECT_EQ(Dispatch(emptyText), E_INVALIDARG);
  const Lines lines = DispatcherLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(lines[1].rfind(", ")), ", Failed to process");
}

TEST_F(DispatcherTest, HandledCommandsReachTheirOperation) {
  EXPECT_EQ(Dispatch(Cmd::plugInType(2)), 0);
  EXPECT_EQ(Dispatch(Cmd::isolated(0)), 0);
  EXPECT_EQ(m_videoHost->m_nPlugInType, 2);
  EXPECT_EQ(m_videoHost->m_bIsolated, 0);
}
