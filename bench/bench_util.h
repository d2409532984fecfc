// Small helpers shared by the benchmarks: a clock, best/median of repeated
// runs, the process's resident memory from /proc/self/status, and the
// generated database files, written once by a child process.
#ifndef PAGEWRIGHT_BENCH_BENCH_UTIL_H_
#define PAGEWRIGHT_BENCH_BENCH_UTIL_H_

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
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

// Writes the file at `path` unless it exists, by `write(partPath)` in a
// child process, so that the builder's memory never counts in this one; the
// file appears under its name only once complete. False when writing failed.
inline bool EnsureFileWritten(const std::filesystem::path& path,
                              const std::function<void(const std::string&)>& write) {
  if (std::filesystem::exists(path)) return true;
  auto t0 = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    try {
      write(path.string() + ".part");
      std::filesystem::rename(path.string() + ".part", path);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "writing %s failed: %s\n", path.string().c_str(), e.what());
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::printf("wrote %s (%.1f MB) in %.1f s\n", path.string().c_str(),
              std::filesystem::exists(path) ? static_cast<double>(std::filesystem::file_size(path)) / 1e6 : 0.0,
              SecondsSince(t0));
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace pagewright::bench

#endif  // PAGEWRIGHT_BENCH_BENCH_UTIL_H_
