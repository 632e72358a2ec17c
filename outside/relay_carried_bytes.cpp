#include "relay_carried_bytes.h"

#include <algorithm>

LONG CarriedBytes::TakeReading() {
  std::lock_guard<std::mutex> hold(m_readingLock);
  const int64_t reading = std::min<int64_t>(m_nTotal - m_nRead, kMaxReading);
  m_nRead += reading;
  return static_cast<LONG>(reading);
}
