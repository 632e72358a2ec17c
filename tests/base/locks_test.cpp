#include "base/locks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(CCSLock, IsAliveFromConstructionAndReentrantForItsHolder) {
  CCSLock lock;
  EXPECT_TRUE(lock.IsAlive());
  lock.Lock();
  lock.Lock();  // the holder enters again without blocking
  lock.Unlock();
  lock.Unlock();
}

TEST(CAutoLock, HoldsTheSectionForTheBlockOnly) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  std::atomic<int> stage{0};
  std::thread other;
  {
    CAutoLock hold(&cs);
    other = std::thread([&] {
      EnterCriticalSection(&cs);
      stage = 2;
      LeaveCriticalSection(&cs);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(stage.load(), 0) << "another thread entered while the block held the section";
    stage = 1;
  }
  other.join();
  EXPECT_EQ(stage.load(), 2);
  DeleteCriticalSection(&cs);
}
