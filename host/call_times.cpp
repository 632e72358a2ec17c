#include "call_times.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The smallest value with at least `share` of the values at or below it.
double NearestRank(const std::vector<double>& sorted, double share) {
  const size_t rank = static_cast<size_t>(std::ceil(share * static_cast<double>(sorted.size())));
  return sorted[std::max<size_t>(rank, 1) - 1];
}

std::string Milliseconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", seconds * 1000.0);
  return text;
}

}  // namespace

void CallTimes::Add(const std::string& kind, double seconds) {
  auto found = std::find_if(m_kinds.begin(), m_kinds.end(), [&](const auto& entry) { return entry.first == kind; });
  if (found == m_kinds.end()) found = m_kinds.insert(m_kinds.end(), {kind, {}});
  found->second.push_back(seconds);
}

std::vector<std::string> CallTimes::Report() const {
  std::vector<std::string> lines;
  for (const auto& [kind, times] : m_kinds) {
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    lines.push_back("timing: " + kind + ": " + std::to_string(sorted.size()) +
                    (sorted.size() == 1 ? " call" : " calls") + ", median " + Milliseconds(NearestRank(sorted, 0.5)) +
                    ", 99th percentile " + Milliseconds(NearestRank(sorted, 0.99)) + ", longest " +
                    Milliseconds(sorted.back()));
  }
  return lines;
}
