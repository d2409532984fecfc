// Small helpers shared by the benchmarks: a clock, best/median of repeated
// runs, and the process's resident memory from /proc/self/status.
#ifndef PAGEWRIGHT_BENCH_BENCH_UTIL_H_
#define PAGEWRIGHT_BENCH_BENCH_UTIL_H_

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace pagewright::bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS"); -1 when absent.
inline int64_t StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
  }
  return -1;
}

// Resets the peak resident size (VmHWM) to the current one (Linux 4.0 and
// later); false when the kernel refuses.
inline bool ResetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

struct Summary {
  double best = 0;
  double median = 0;
};

// Best (largest) and median of rates measured over several runs.
inline Summary Rates(std::vector<double> rates) {
  Summary s;
  if (rates.empty()) return s;
  std::sort(rates.begin(), rates.end());
  s.best = rates.back();
  s.median = rates.size() % 2 == 1 ? rates[rates.size() / 2]
                                   : (rates[rates.size() / 2 - 1] + rates[rates.size() / 2]) / 2;
  return s;
}

// Best (smallest) and median of durations.
inline Summary Durations(std::vector<double> seconds) {
  Summary s = Rates(seconds);
  if (!seconds.empty()) s.best = *std::min_element(seconds.begin(), seconds.end());
  return s;
}

}  // namespace pagewright::bench

#endif  // PAGEWRIGHT_BENCH_BENCH_UTIL_H_
