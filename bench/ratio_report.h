// Benchmarks report their cost as a ratio against a baseline measured in the same run, never as time
// alone: the machine's speed cancels out.
#pragma once

#include <map>
#include <string>

struct RatioTarget {
  std::string measured;
  std::string baseline;
  double target;           // the ratio the measured one should stay within
  double baselineTimes;    // how many baselines the measured work contains (its log lines, say)
};

// Declares, at static-initialisation time, a ratio to print after the run: measured / (baseline × times).
int DeclareRatio(const std::string& measured, const std::string& baseline, double target, double baselineTimes = 1);

// Prints every declared ratio from the real times of the run; returns the number above target.
int PrintRatios(const std::map<std::string, double>& realTimeByName);
