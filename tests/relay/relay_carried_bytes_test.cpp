#include "relay_carried_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr LONG kMax = CarriedBytes::kMaxReading;

TEST(CarriedBytesTest, EachReadingIsTheBytesSinceThePreviousOneCappedAndTheExcessDropped) {
  struct Case {
    std::vector<int64_t> added;  // before the first reading
    std::vector<LONG> readings;
  };
  const Case cases[] = {
      {{}, {0}},
      {{5, 7}, {12, 0}},
      {{kMax}, {kMax, 0}},
      // A reading belongs to its own interval: what did not fit is not reported by the next one.
      {{kMax, 1}, {kMax, 0}},
      {{int64_t{1} << 31, 3}, {kMax, 0}},
  };
  for (const Case& c : cases) {
    CarriedBytes bytes;
    for (int64_t n : c.added) bytes.Add(n);
    std::vector<LONG> readings;
    for (size_t i = 0; i < c.readings.size(); ++i) readings.push_back(bytes.TakeReading());
    EXPECT_EQ(readings, c.readings);
  }
}

TEST(CarriedBytesTest, BytesAddedBetweenReadingsGoToTheNextOneAndTheTotalKeepsEverything) {
  CarriedBytes bytes;
  bytes.Add(3 * int64_t{kMax});
  EXPECT_EQ(bytes.TakeReading(), kMax);
  bytes.Add(100);
  EXPECT_EQ(bytes.TakeReading(), 100);
  EXPECT_EQ(bytes.TakeReading(), 0);
  EXPECT_EQ(bytes.Total(), 3 * int64_t{kMax} + 100);
}

}  // namespace
