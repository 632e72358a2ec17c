#include "base/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>

#include "base/platform.h"

namespace {

std::mutex g_pinMutex;
std::atomic<bool> g_pinned{false};
ClockReading g_pinnedReading{};

ClockReading SystemReading() {
  using namespace std::chrono;
  const int64_t epochMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const time_t seconds = static_cast<time_t>(epochMs / 1000);
  // The calendar conversion costs more than a log line's other work; within one second it cannot change.
  thread_local time_t cachedSecond = -1;
  thread_local struct tm local {};
  if (seconds != cachedSecond) {
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    cachedSecond = seconds;
  }
  return ClockReading{epochMs,         local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min,    local.tm_sec,         static_cast<int>(epochMs % 1000)};
}

}  // namespace

ClockReading ReadClock() {
  if (g_pinned.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> hold(g_pinMutex);
    return g_pinnedReading;
  }
  return SystemReading();
}

void PinClock(const ClockReading* reading) {
  std::lock_guard<std::mutex> hold(g_pinMutex);
  if (reading != nullptr) g_pinnedReading = *reading;
  g_pinned.store(reading != nullptr, std::memory_order_release);
}
