#include "talkback/talkback.h"

#include <gmock/gmock.h>

#include "support/process_log_test.h"

namespace {

using ::testing::ElementsAre;

class TalkbackTest : public ProcessLogTest {
 protected:
  CTalkback m_talkback;
};

struct CommandCase {
  LONG nCmd;
  LONG nACID;
  LONG nValue;
  Bytes expected;
  const char* expectedLine;
};

TEST_F(TalkbackTest, CommandMessageIsEightBigEndianBytes) {
  const CommandCase cases[] = {
      {240, 17, 80, {0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x00, 0x50}, "SendCommand: Command=240, Sent successfully"},
      {249, 0x12345, 1, {0x00, 0xF9, 0x23, 0x45, 0x00, 0x00, 0x00, 0x01},
       "SendCommand: Command=249, Sent successfully"},
      {240, -1, -2, {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, "SendCommand: Command=240, Sent successfully"},
      {0x1F0F0, 0x7FFF0000, 0x7FFFFFFF, {0xF0, 0xF0, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF},
       "SendCommand: Command=61680, Sent successfully"},
      {-1, 0, static_cast<LONG>(0x80000000), {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00},
       "SendCommand: Command=65535, Sent successfully"},
  };
  m_talkback.SetTalkbackInterface(m_host.TalkBack());
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.expectedLine);
    EXPECT_EQ(m_talkback.SendCommand(c.nCmd, c.nACID, c.nValue), 1);
    EXPECT_EQ(m_host.TalkbackMessages().back(), c.expected);
    const Lines lines = LoggedLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_THAT(Lines(lines.end() - 3, lines.end()),
                ElementsAre("Talkback: Size=8, Sending...", "Talkback: Success", c.expectedLine));
  }
  EXPECT_EQ(m_host.TalkbackMessages().size(), std::size(cases));
}

TEST_F(TalkbackTest, WithoutInterfaceEverySendFails) {
  EXPECT_EQ(m_talkback.SendCommand(kTalkbackProxyStatus, 17, 1), 0);
  m_talkback.SetTalkbackInterface(m_host.TalkBack());
  m_talkback.SetTalkbackInterface(nullptr);
  EXPECT_EQ(m_talkback.SendCommand(kTalkbackReportProxyPort, 17, 80), 0);
  EXPECT_TRUE(m_host.TalkbackMessages().empty());
  EXPECT_THAT(LoggedLines(), ElementsAre("Talkback: Talkback object is invalid", "SendCommand: Command=249, Failed",
                                         "Talkback: Talkback object is invalid", "SendCommand: Command=240, Failed"));
}

TEST_F(TalkbackTest, RefusingHostFailsTheSendAndShowsItsStatus) {
  m_host.SetTalkbackResult(E_FAIL);
  m_talkback.SetTalkbackInterface(m_host.TalkBack());
  EXPECT_EQ(m_talkback.SendCommand(kTalkbackReportProxyPort, 17, 80), 0);
  EXPECT_EQ(m_host.TalkbackMessages().size(), 1u) << "the host was asked once; nothing is retried";
  EXPECT_THAT(LoggedLines(), ElementsAre("Talkback: Size=8, Sending...", "Talkback: HR=0x80004005, Failed",
                                         "SendCommand: Command=240, Failed"));
}

TEST_F(TalkbackTest, AnyNonNegativeStatusIsSuccess) {
  m_host.SetTalkbackResult(S_FALSE);
  m_talkback.SetTalkbackInterface(m_host.TalkBack());
  EXPECT_EQ(m_talkback.Talkback(TalkbackMessage{0, 240, 0, 17, 0, 0, 0, 80}), 1);
}

TEST_F(TalkbackTest, HoldsExactlyOneReferenceWhateverTheHostsReleaseDoes) {
  {
    CTalkback talkback;
    talkback.SetTalkbackInterface(m_host.TalkBack());
    talkback.SetTalkbackInterface(m_host.TalkBack());
    EXPECT_EQ(m_host.RefCount(), 1);
    m_host.ThrowOnNextRelease();
    EXPECT_NO_THROW(talkback.SetTalkbackInterface(nullptr));
    EXPECT_EQ(m_host.RefCount(), 0);
    talkback.SetTalkbackInterface(m_host.TalkBack());
    m_host.ThrowOnNextRelease();
  }  // the destructor gives the last reference back, and its fault is ignored too
  EXPECT_EQ(m_host.RefCount(), 0);
}

}  // namespace
