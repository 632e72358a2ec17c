#include "ratio_report.h"

#include <cstdio>
#include <vector>

namespace {
std::vector<RatioTarget>& Targets() {
  static std::vector<RatioTarget> targets;
  return targets;
}
}  // namespace

int DeclareRatio(const std::string& measured, const std::string& baseline, double target, double baselineTimes) {
  Targets().push_back({measured, baseline, target, baselineTimes});
  return 0;
}

int PrintRatios(const std::map<std::string, double>& realTimeByName) {
  int over = 0;
  std::printf("\n%-44s %-32s %8s %8s\n", "measured", "baseline (x lines)", "ratio", "target");
  for (const RatioTarget& ratio : Targets()) {
    const auto measured = realTimeByName.find(ratio.measured);
    const auto baseline = realTimeByName.find(ratio.baseline);
    if (measured == realTimeByName.end() || baseline == realTimeByName.end() || baseline->second <= 0) continue;
    const double value = measured->second / (baseline->second * ratio.baselineTimes);
    if (value > ratio.target) ++over;
    const std::string baselineName = ratio.baselineTimes == 1 ? ratio.baseline
                                                               : ratio.baseline + " x" + std::to_string(int(ratio.baselineTimes));
    std::printf("%-44s %-32s %8.2f %8.2f%s\n", ratio.measured.c_str(), baselineName.c_str(), value, ratio.target,
                value > ratio.target ? "  ABOVE TARGET" : "");
  }
  return over;
}
