// A program started directly (no shell), its wall time and the peak resident
// memory the kernel accounted to it: how the benchmarks time Shelvo's tools and
// their peers alike.
#pragma once

#include <string>
#include <vector>

namespace shelvo::bench {

struct MeasuredRun {
  double seconds = 0;
  double cpu_seconds = 0; // user and system time of the child
  long peak_kb = 0;
  bool ok = false; // started, and exited with status 0
};

// Runs arguments[0] (looked up on PATH) with standard output into out_path and
// standard error discarded; extra_env entries ("NAME=VALUE") come before the
// inherited environment.
MeasuredRun run_measured(const std::vector<std::string>& arguments, const std::string& out_path = "/dev/null",
                         const std::vector<std::string>& extra_env = {});

// The median of some times (0 for none).
double median(std::vector<double> values);
// The lines of a file (0 when it cannot be read).
long count_lines(const std::string& path);

} // namespace shelvo::bench
