#include "call_times.h"

#include <gtest/gtest.h>

#include "host_options.h"

TEST(CallTimes, ReportsEachKindInTheOrderItCame) {
  CallTimes times(true);
  // 100 ticks of 1 ms to 100 ms: the median is the 50th, the 99th percentile the 99th.
  for (int i = 100; i >= 1; --i) times.Add("heartbeat tick", i / 1000.0);
  times.Add("ProcessBuf url", 0.000012);
  times.Add("ProcessBuf url", 0.25);
  EXPECT_EQ(times.Report(), (std::vector<std::string>{
                                "timing: heartbeat tick: 100 calls, median 50.000 ms, 99th percentile 99.000 ms, "
                                "longest 100.000 ms",
                                "timing: ProcessBuf url: 2 calls, median 0.012 ms, 99th percentile 250.000 ms, "
                                "longest 250.000 ms",
                            }));
}

TEST(CallTimes, TimesOnlyWhenAsked) {
  int calls = 0;
  CallTimes off(false);
  off.Time("ProcessBuf", [&] { ++calls; });
  CallTimes on(true);
  on.Time("ProcessBuf", [&] { ++calls; });
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(off.Report().empty());
  ASSERT_EQ(on.Report().size(), 1u);
  EXPECT_EQ(on.Report()[0].rfind("timing: ProcessBuf: 1 call, median ", 0), 0u) << on.Report()[0];

  const char* argv[] = {"qelhost", "--timing", "s.qel"};
  HostOptions options;
  std::string error;
  EXPECT_TRUE(ParseHostOptions(3, argv, options, error)) << error;
  EXPECT_TRUE(options.timing);
}
