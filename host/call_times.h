// qelhost --timing: how long each call into the library holds the host's thread, by kind (a command through
// ProcessBuf by its step, a heartbeat tick, ...). A terminal's thread draws its screen too: a call that holds
// it for long freezes every cell.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

class CallTimes {
 public:
  explicit CallTimes(bool on) : m_on(on) {}

  // Runs `call`; when timing, adds how long it took under `kind`.
  template <class Call>
  void Time(const std::string& kind, Call&& call) {
    const auto start = std::chrono::steady_clock::now();
    std::forward<Call>(call)();
    if (m_on) Add(kind, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }

  void Add(const std::string& kind, double seconds);

  // One line per kind, in the order the kinds first came: "timing: KIND: N calls, median X ms, 99th
  // percentile Y ms, longest Z ms" (nearest-rank percentiles); nothing when not timing.
  std::vector<std::string> Report() const;

 private:
  const bool m_on;
  std::vector<std::pair<std::string, std::vector<double>>> m_kinds;
};
