// Benchmarks report their cost as a ratio against a baseline measured in the same run, never as time
// alone: the machine's speed cancels out.
#pragma once

#include <map>
#include <string>

struct RatioTarget {
  std::string measured;
  std::string baseline;
  double target;  // the ratio the measured one should stay within
};

// Declares, at static-initialisation time, a ratio to print after the run.
int DeclareRatio(const std::string& measured, const std::string& baseline, double target);

// Prints every declared ratio from the real times of the run; returns the number above target.
int PrintRatios(const std::map<std::string, double>& realTimeByName);
