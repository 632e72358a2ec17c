#include "trace_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// What the host printed, read back from the temporary stream it wrote to.
class TraceHostTest : public ::testing::Test {
 protected:
  void TearDown() override { std::fclose(m_out); }
  std::string Printed() {
    std::fflush(m_out);
    std::rewind(m_out);
    std::string text;
    for (int c; (c = std::fgetc(m_out)) != EOF;) text += static_cast<char>(c);
    return text;
  }

  FILE* m_out = std::tmpfile();
  TraceHost m_host{3, m_out};
};

TEST_F(TraceHostTest, TalkbackIsDecodedByNameAndValue) {
  const BYTE report[] = {0x00, 0xF0, 0x00, 0x11, 0x00, 0x00, 0x1F, 0x40};
  const BYTE unknown[] = {0x00, 0x07, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(m_host.Send(report, sizeof report), S_OK);
  EXPECT_EQ(m_host.Send(unknown, sizeof unknown), S_OK);
  EXPECT_EQ(m_host.Send(report, 7), E_INVALIDARG);
  EXPECT_EQ(Printed(),
            "cell 3: talkback 240 [Report Proxy Port] acid=17 value=8000\n"
            "cell 3: talkback 7 [] acid=2 value=-1\n"
            "cell 3: talkback: malformed (7 bytes)\n");
}

TEST_F(TraceHostTest, AlarmsAreDecodedIntoTheirStatusFields) {
  const std::string status = "2;17;1001;2002;1765200000;1;0;64000;0;0;0;0";
  std::vector<BYTE> alarm{0x00, 0x05, 0x00, static_cast<BYTE>(status.size() + 1)};
  alarm.insert(alarm.end(), status.begin(), status.end());
  alarm.push_back(0);
  LONG result = -1;
  EXPECT_EQ(m_host.Request(CCB_SendINMSAlarm, alarm.data(), static_cast<LONG>(alarm.size()), &result), S_OK);
  EXPECT_EQ(result, 0);
  BYTE shortAlarm[] = {0, 5};
  m_host.Request(CCB_SendINMSAlarm, shortAlarm, sizeof shortAlarm, &result);
  EXPECT_EQ(m_host.Request(99, nullptr, 0, &result), E_NOTIMPL);
  EXPECT_EQ(Printed(),
            "cell 3: request 87 CCB_SendINMSAlarm: ucid=5 \"" + status +
                "\" version=2 acid=17 session1=1001 session2=2002 time=1765200000 state=1 bits=64000 kind=0\n"
                "cell 3: request 87 CCB_SendINMSAlarm: malformed (2 bytes)\n"
                "cell 3: request 99 (unknown opcode)\n");
}

TEST_F(TraceHostTest, TheEpochTimeAndClientKeysAreAnswered) {
  DWORD time = 0;
  LONG result = -1;
  EXPECT_EQ(m_host.Request(CCB_GetEpochTime, &time, sizeof time, &result), S_OK);
  EXPECT_GT(time, 1700000000u);
  BYTE keys[4] = {};
  EXPECT_EQ(m_host.Request(CCB_GetClientKeys, keys, sizeof keys, &result), S_OK);
  EXPECT_EQ(std::vector<BYTE>(keys, keys + 4), (std::vector<BYTE>{0, 1, 2, 3}));
  EXPECT_NE(Printed().find("request 12 CCB_GetEpochTime -> " + std::to_string(time)), std::string::npos);
}

}  // namespace
