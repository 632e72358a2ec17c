#include "base/clock.h"

#include <gtest/gtest.h>

TEST(Clock, PinnedReadingIsReturnedUntilReleased) {
  const ClockReading pinned{1796610000000LL, 2026, 12, 7, 2, 17, 28, 42};
  PinClock(&pinned);
  const ClockReading read = ReadClock();
  EXPECT_EQ(read.epochMs, pinned.epochMs);
  EXPECT_EQ(read.hour, 2);
  EXPECT_EQ(read.millisecond, 42);
  PinClock(nullptr);
  const ClockReading live = ReadClock();
  EXPECT_GT(live.year, 2020);
  EXPECT_GE(live.millisecond, 0);
  EXPECT_LT(live.millisecond, 1000);
  EXPECT_EQ(live.epochMs % 1000, live.millisecond);
}
