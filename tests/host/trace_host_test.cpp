#include "trace_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The INMS alarm: its header, the status text and its NUL. Filled in place: GCC 12 at -O3 takes an insert
// after the header for a write past a 4-byte vector.
std::vector<BYTE> Alarm(const std::string& status) {
  std::vector<BYTE> alarm(4 + status.size() + 1, 0);
  alarm[1] = 0x35;
  alarm[3] = static_cast<BYTE>(status.size() + 1);
  std::copy(status.begin(), status.end(), alarm.begin() + 4);
  return alarm;
}

// What the host printed, read back from the temporary stream it wrote to; the clock is set by the test.
class TraceHostTest : public ::testing::Test {
 protected:
  void TearDown() override { std::fclose(m_file); }
  std::string Printed() {
    std::fflush(m_file);
    std::rewind(m_file);
    std::string text;
    for (int c; (c = std::fgetc(m_file)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  void Beat(TraceHost& host, double at, const std::string& status) {
    m_now = at;
    std::vector<BYTE> alarm = Alarm(status);
    LONG result = -1;
    EXPECT_EQ(host.Request(CCB_SendINMSAlarm, alarm.data(), static_cast<LONG>(alarm.size()), &result), S_OK);
    EXPECT_EQ(result, 0);
  }

  FILE* m_file = std::tmpfile();
  double m_now = 0;
  CellTrace::Clock m_clock = [this] { return m_now; };
};

TEST_F(TraceHostTest, TalkbackIsTracedByMeaningThenRawValues) {
  TraceOutput out(m_file, Verbosity::Normal);
  TraceHost host(3, out, m_clock);
  const BYTE report[] = {0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x1F, 0x40};
  const BYTE stop[] = {0x00, 0xF9, 0x00, 0x11, 0x00, 0x00, 0x00, 0x01};
  const BYTE unknown[] = {0x00, 0x07, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(host.Send(report, sizeof report), S_OK);
  EXPECT_EQ(host.Send(stop, sizeof stop), S_OK);
  EXPECT_EQ(host.Send(unknown, sizeof unknown), S_OK);
  EXPECT_EQ(host.Send(report, 7), E_INVALIDARG);
  EXPECT_EQ(host.Request(99, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(Printed(),
            "cell 3: proxy port 8000 reported [talkback 240 Report Proxy Port acid=17 value=8000]\n"
            "cell 3: player stopped by another player, proxy status 1 reported [talkback 249 Proxy Status acid=17 "
            "value=1]\n"
            "cell 3: talkback of an unknown command [talkback 7 acid=2 value=-1]\n"
            "cell 3: malformed talkback refused [talkback size=7]\n"
            "cell 3: unknown request refused [request 99]\n");
  EXPECT_EQ(host.Trace().Summary(0),
            "port 8000; 0 beats; 0 bytes reported; 1 stop; host references left 0");
}

// Each beat's bits are those carried since the previous beat: bytes = bits / 8, rate over the seconds between.
TEST_F(TraceHostTest, BeatsSayTheStateTheBytesAndTheRate) {
  TraceOutput out(m_file, Verbosity::Normal);
  TraceHost host(0, out, m_clock);
  Beat(host, 10.0, "1;17;1001;2002;12/07/2026 02:17:28;1;0;8388608;5;0;0;0");
  Beat(host, 12.0, "1;17;1001;2002;12/07/2026 02:17:30;1;0;8388608;7;0;0;0");
  Beat(host, 13.0, "1;17;1001;2002;12/07/2026 02:17:31;6;0;0;5;0;0;0");
  Beat(host, 13.5, "1;17;;;12/07/2026 02:17:31;4;0;24;9;0;0;0");
  Beat(host, 14.0, "1;17;not a status");
  EXPECT_EQ(Printed(),
            "cell 0: beat 1: playing, 1048576 bytes since the proxy started [state=1 bits=8388608 kind=5]\n"
            "cell 0: beat 2: playing, 1048576 bytes in 2.0 s (524.3 kB/s), MPROXY connection [state=1 bits=8388608 "
            "kind=7]\n"
            "cell 0: beat 3: idle, no bytes in 1.0 s [state=6 bits=0 kind=5]\n"
            "cell 0: beat 4: closing, 3 bytes in 0.5 s (6 B/s), connection kind 9 [state=4 bits=24 kind=9]\n"
            "cell 0: alarm with an unreadable status [request 87 CCB_SendINMSAlarm ucid=53 text=\"1;17;not a "
            "status\"]\n");
  EXPECT_EQ(host.Trace().Summary(1),
            "no port reported; 4 beats (2 playing, 1 idle, 1 closing); 2097155 bytes reported; 0 stops; "
            "host references left 1");
}

TEST_F(TraceHostTest, VerboseAddsEveryRawFieldAndQuietOnlyTheSummary) {
  TraceOutput verbose(m_file, Verbosity::Verbose);
  TraceHost host(0, verbose, m_clock);
  Beat(host, 1.0, "1;17;;-1;12/07/2026 02:17:28;1;0;0;5;0;0;0");
  TraceOutput quiet(m_file, Verbosity::Quiet);
  TraceHost silent(1, quiet, m_clock);
  Beat(silent, 1.0, "1;17;;-1;12/07/2026 02:17:28;1;0;0;5;0;0;0");
  quiet.Step("wait 1");
  quiet.Summary(1, silent.Trace().Summary(0));
  EXPECT_EQ(Printed(),
            "cell 0: beat 1: playing, no bytes since the proxy started [state=1 bits=0 kind=5 acid=17 session1= "
            "session2=-1 time=\"12/07/2026 02:17:28\" ucid=53 text=\"1;17;;-1;12/07/2026 02:17:28;1;0;0;5;0;0;0\"]\n"
            "cell 1: summary: no port reported; 1 beat (1 playing); 0 bytes reported; 0 stops; host references left 0\n");
}

TEST_F(TraceHostTest, HostTextsAreEscapedSoEachTraceLineIsOne) {
  TraceOutput out(m_file, Verbosity::Normal);
  TraceHost host(0, out, m_clock);
  out.Step("url 0 1 http://a.example/\x1B[2J\x7F");
  Beat(host, 1.0, "1;17;\r\ncell 0: beat 9");
  EXPECT_EQ(Printed(),
            "> url 0 1 http://a.example/\\x1B[2J\\x7F\n"
            "cell 0: alarm with an unreadable status [request 87 CCB_SendINMSAlarm ucid=53 text=\"1;17;\\r\\ncell 0: "
            "beat 9\"]\n");
}

TEST(RateText, DecimalUnits) {
  EXPECT_EQ(RateText(999, 1.0), "999 B/s");
  EXPECT_EQ(RateText(1000, 1.0), "1.0 kB/s");
  EXPECT_EQ(RateText(3000000, 2.0), "1.5 MB/s");
}

TEST_F(TraceHostTest, TheEpochTimeAndClientKeysAreAnswered) {
  TraceOutput out(m_file, Verbosity::Normal);
  TraceHost host(0, out, m_clock);
  DWORD time = 0;
  LONG result = -1;
  EXPECT_EQ(host.Request(CCB_GetEpochTime, &time, sizeof time, &result), S_OK);
  EXPECT_GT(time, 1700000000u);
  BYTE keys[4] = {};
  EXPECT_EQ(host.Request(CCB_GetClientKeys, keys, sizeof keys, &result), S_OK);
  EXPECT_EQ(std::vector<BYTE>(keys, keys + 4), (std::vector<BYTE>{0, 1, 2, 3}));
  EXPECT_NE(Printed().find("epoch time " + std::to_string(time) + " handed over [request 12"), std::string::npos);
}

}  // namespace
