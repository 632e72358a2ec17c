// A proxy asks for the epoch time on a thread of its own while the UI thread beats: the host must see
// the requests one at a time and each answered whole.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "video_host_fixture.h"

namespace {
using EpochTimeConcurrency = VideoHostTest;
}

TEST_F(EpochTimeConcurrency, ProxyThreadRequestsDoNotOverlapHeartbeats) {
  FakeProxy& proxy = AddProxy();
  proxy.config.AddConnection(0, "http://media.example.com/live", kConnectionTypePlug);
  m_video->SetHeartbeatAlarmInterval(1);
  m_host.SetEpochTime(0x12345678);
  std::atomic<int> good{0};
  std::thread plugin([&] {
    for (int i = 0; i < 200; ++i) {
      DWORD time = 0;
      if (m_video->GetEpochTime(&time) == 0 && time == 0x12345678) ++good;
    }
  });
  int beats = 0;
  for (int i = 0; i < 200; ++i) beats += m_video->SendHeartbeat(0);
  plugin.join();
  EXPECT_EQ(good.load(), 200);
  EXPECT_EQ(beats, 200);
  EXPECT_EQ(m_host.Requests().size(), 400u);
}
