#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "log/ctrl_log.h"
#include "log/log.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "talkback/cbb_callback.h"

namespace {

// The proxy plug-in asks for the epoch time from its own threads while the heartbeat sends alarms.
TEST(CBBCallbackConcurrency, RequestsReachTheHostOneAtATime) {
  TempDir dir;
  ProcessLog().UseSettings(dir.File("concurrency.log"), 3, 1024000);
  FakeHost host;
  host.SetEpochTime(1234);
  constexpr int kThreads = 4;
  constexpr int kRequestsEach = 100;
  {
    CQelCBBCallback callback;
    callback.SetCBBInterface(host.Callback());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&callback, t] {
        for (int i = 0; i < kRequestsEach; ++i) {
          uint32_t time = 0;
          LONG rCode = -1;
          const LONG opCode = t % 2 == 0 ? CCB_GetEpochTime : CCB_SendINMSAlarm;
          callback.SendOpCode(opCode, "concurrent", &time, 4, &rCode);
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  ProcessLog().Close();
  EXPECT_EQ(host.Requests().size(), static_cast<size_t>(kThreads * kRequestsEach));
  EXPECT_EQ(host.Unexpected(), std::vector<std::string>{});
  EXPECT_EQ(host.RefCount(), 0);
}

}  // namespace
