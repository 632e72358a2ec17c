#include "talkback/cbb_callback.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>

#include "log/ctrl_log.h"
#include "log/log.h"
#include "support/process_log_test.h"
#include "support/log_reader.h"

namespace {

using ::testing::ElementsAre;

class CBBCallbackTest : public ProcessLogTest {
 protected:
  int SendAlarm(LONG* pRCode) {
    BYTE alarm[] = {0x00, 0x35, 0x00, 0x01, 0x00};
    return m_callback.SendOpCode(CCB_SendINMSAlarm, "CCB_SendINMSAlarm", alarm, 5, pRCode);
  }
  CQelCBBCallback m_callback;
};

TEST_F(CBBCallbackTest, WithoutInterfaceNothingIsAskedNorLogged) {
  LONG rCode = 77;
  EXPECT_EQ(SendAlarm(&rCode), 0);
  EXPECT_EQ(rCode, 77) << "the result code is written only when the host was asked";
  EXPECT_EQ(m_callback.CheckCallbackStatus(), 0);

  m_callback.SetCBBInterface(m_host.Callback());
  m_callback.SetCBBInterface(nullptr);
  const Lines afterSetup = LoggedLines();
  EXPECT_EQ(SendAlarm(&rCode), 0) << "dropped interface";
  EXPECT_EQ(LoggedLines(), afterSetup);
  EXPECT_TRUE(m_host.Requests().empty());
}

struct StatusCase {
  LONG hostStatus;
  int enabled;
};

TEST_F(CBBCallbackTest, OnlyBitZeroOfTheStatusEnablesRequests) {
  const StatusCase cases[] = {{1, 1}, {0, 0}, {0xFE, 0}, {0x100, 0}, {0x101, 1}, {-1, 1}};
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.hostStatus);
    FakeHost host;
    host.SetCallbackStatus(c.hostStatus);
    ProcessLog().UseSettings(m_dir.File("status.log"), 3, 1024000);
    {
      CQelCBBCallback callback;
      callback.SetCBBInterface(host.Callback());
      BYTE keys[kClientKeysSize] = {};
      EXPECT_EQ(callback.SendOpCode(CCB_GetClientKeys, "CCB_GetClientKeys", keys, kClientKeysSize, nullptr),
                c.enabled);
    }
    EXPECT_EQ(host.Requests().size(), static_cast<size_t>(c.enabled));
    EXPECT_EQ(host.RefCount(), 0);
    ProcessLog().Close();
    const Lines lines = ReadLogLines(m_dir.File("status.log"));
    const std::string word = c.enabled ? "enabled" : "disabled";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "CBBCallback: CBB callback is " + word), 1);
    std::remove(m_dir.File("status.log").c_str());
  }
}

TEST_F(CBBCallbackTest, AcceptedRequestLogsAndHandsBackTheResultCode) {
  m_host.SetRequestAnswer(CCB_SendINMSAlarm, RequestAnswer{S_FALSE, 5});
  m_callback.SetCBBInterface(m_host.Callback());
  LONG rCode = 77;
  EXPECT_EQ(SendAlarm(&rCode), 1) << "a non-zero result code is still a success here";
  EXPECT_EQ(rCode, 5);
  ASSERT_EQ(m_host.Requests().size(), 1u);
  EXPECT_EQ(m_host.Requests()[0].opCode, CCB_SendINMSAlarm);
  EXPECT_EQ(m_host.Requests()[0].buffer, (Bytes{0x00, 0x35, 0x00, 0x01, 0x00}));
  EXPECT_THAT(LoggedLines(), ElementsAre("CBBCallback: Checking CBB callback status...",
                                         "CBBCallback: CBB callback is enabled",
                                         "CBBCallback: OpCode=87, OpName=CCB_SendINMSAlarm, Size=5, Sending...",
                                         "CBBCallback: RCode=5, Success"));
}

struct FailureCase {
  RequestAnswer answer;
  LONG expectedRCode;
  const char* expectedLine;
};

TEST_F(CBBCallbackTest, FailedRequestStillHandsBackTheResultCode) {
  const FailureCase cases[] = {
      {{E_FAIL, 9}, 9, "CBBCallback: RCode=9, HR=0x80004005, Failed"},
      {{E_INVALIDARG, std::nullopt}, 0, "CBBCallback: RCode=0, HR=0x80070057, Failed"},
      {{static_cast<HRESULT>(0x80000000), -3}, -3, "CBBCallback: RCode=-3, HR=0x80000000, Failed"},
  };
  m_callback.SetCBBInterface(m_host.Callback());
  for (const FailureCase& c : cases) {
    m_host.SetRequestAnswer(CCB_SendINMSAlarm, c.answer);
    LONG rCode = 77;
    EXPECT_EQ(SendAlarm(&rCode), 0);
    EXPECT_EQ(rCode, c.expectedRCode);
    EXPECT_EQ(LoggedLines().back(), c.expectedLine);
  }
  EXPECT_EQ(SendAlarm(nullptr), 0) << "no result-code output is fine";
}

TEST_F(CBBCallbackTest, NullOpNameLogsAnEmptyName) {
  m_callback.SetCBBInterface(m_host.Callback());
  EXPECT_EQ(m_callback.SendOpCode(CCB_GetEpochTime, nullptr, nullptr, 0, nullptr), 1);
  EXPECT_THAT(LoggedLines(), ::testing::Contains("CBBCallback: OpCode=12, OpName=, Size=0, Sending..."));
}

TEST_F(CBBCallbackTest, HostFillsTheCallersBuffer) {
  m_host.SetEpochTime(0x6A5B4C3Du);
  m_host.SetClientKeys(Bytes(kClientKeysSize, 0xAB));
  m_callback.SetCBBInterface(m_host.Callback());
  uint32_t time = 0;
  LONG rCode = 77;
  EXPECT_EQ(m_callback.SendOpCode(CCB_GetEpochTime, "CCB_GetEpochTime", &time, 4, &rCode), 1);
  EXPECT_EQ(time, 0x6A5B4C3Du);
  EXPECT_EQ(rCode, 0);
  BYTE keys[kClientKeysSize] = {};
  EXPECT_EQ(m_callback.SendOpCode(CCB_GetClientKeys, "CCB_GetClientKeys", keys, kClientKeysSize, nullptr), 1);
  EXPECT_EQ(Bytes(keys, keys + kClientKeysSize), Bytes(kClientKeysSize, 0xAB));
}

TEST_F(CBBCallbackTest, HoldsExactlyOneReferenceAndAsksTheStatusOnEveryTake) {
  m_callback.SetCBBInterface(m_host.Callback());
  EXPECT_EQ(m_host.RefCount(), 1);
  m_callback.SetCBBInterface(m_host.Callback());
  EXPECT_EQ(m_host.RefCount(), 1);
  EXPECT_THAT(m_host.Calls(), ElementsAre("AddRef", "GetCallbackStatus", "AddRef", "Release", "GetCallbackStatus"));
  m_callback.SetCBBInterface(nullptr);
  EXPECT_EQ(m_host.RefCount(), 0);
  m_callback.SetCBBInterface(nullptr);
  EXPECT_EQ(m_host.RefCount(), 0) << "dropping nothing releases nothing";
}

TEST_F(CBBCallbackTest, LaterEnablingIsSeenOnlyWhenTheInterfaceIsSetAgain) {
  m_host.SetCallbackStatus(0);
  m_callback.SetCBBInterface(m_host.Callback());
  m_host.SetCallbackStatus(1);
  EXPECT_EQ(SendAlarm(nullptr), 0);
  m_callback.SetCBBInterface(m_host.Callback());
  EXPECT_EQ(SendAlarm(nullptr), 1);
}

TEST_F(CBBCallbackTest, FaultInTheHostsReleaseIsIgnored) {
  {
    CQelCBBCallback callback;
    callback.SetCBBInterface(m_host.Callback());
    m_host.ThrowOnNextRelease();
    EXPECT_NO_THROW(callback.SetCBBInterface(nullptr));
    EXPECT_EQ(callback.SendOpCode(CCB_GetEpochTime, "CCB_GetEpochTime", nullptr, 0, nullptr), 0);
    callback.SetCBBInterface(m_host.Callback());
    m_host.ThrowOnNextRelease();
  }  // the destructor's release throws too
  EXPECT_EQ(m_host.RefCount(), 0);
}

}  // namespace
