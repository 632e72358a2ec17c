#include "relay_carried_bytes.h"

#include <algorithm>

LONG CarriedBytes::TakeReading() {
  std::lock_guard<std::mutex> hold(m_readingLock);
  const int64_t total = m_nTotal;
  const int64_t reading = std::min<int64_t>(total - m_nRead, kMaxReading);
  // What did not fit belongs to this interval and is dropped: carried on, it would have the beats report a
  // stream for seconds after it ended. The total keeps every byte.
  m_nRead = total;
  return static_cast<LONG>(reading);
}
