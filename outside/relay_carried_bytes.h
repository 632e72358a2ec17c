// The bytes a relay has carried, read as the amount since the previous reading. The heartbeat multiplies
// each reading by 8 in 32-bit arithmetic, so a reading never passes kMaxReading; what lies above it is
// dropped from the readings (a reading reports its own interval only), and Total keeps every byte.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "base/platform.h"

class CarriedBytes {
 public:
  static constexpr LONG kMaxReading = 0x0FFFFFFF;
  static_assert(int64_t{kMaxReading} * 8 <= 0x7FFFFFFF, "a reading times 8 fits a signed 32-bit field");

  void Add(int64_t bytes) { m_nTotal += bytes; }
  int64_t Total() const { return m_nTotal; }
  // What was carried since the previous reading, at most kMaxReading.
  LONG TakeReading();

 private:
  std::atomic<int64_t> m_nTotal{0};
  std::mutex m_readingLock;
  int64_t m_nRead = 0;
};
