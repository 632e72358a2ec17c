// The one source of time. Log timestamps, the heartbeat's date and the proxies' idle seconds all read it,
// so a test can pin it and get the same text on every run.
#pragma once

#include <cstdint>

struct ClockReading {
  int64_t epochMs;  // milliseconds since 1970-01-01 UTC
  // Local calendar time of the same instant.
  int year;         // four digits
  int month;        // 1..12
  int day;          // 1..31
  int hour;         // 0..23
  int minute;
  int second;
  int millisecond;  // 0..999
};

ClockReading ReadClock();

// While pinned, ReadClock returns this reading; nullptr returns to the system clock. The reading is copied.
void PinClock(const ClockReading* reading);
