// Add benchmark: adding a generated volume of 200,000 entries with shelvo-cli
// against find printing the name, size and time of each entry of the same tree,
// alternating, in one run; and the peak memory of adds of volumes of different
// sizes, which must not grow with the volume.
//
//   add_bench [--entries N] [--runs N] [--keep DIR]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/measured_run.h"
#include "common/tree_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::string drives_for(const std::string& root, const std::string& volume) {
  return "SHELVO_DRIVES=C:=" + root + "/c;E:=" + volume + "|BENCH";
}

} // namespace

int main(int argc, char** argv) {
  long entries = 200000;
  int runs = 5;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--entries") entries = std::atol(argv[i + 1]);
    else if (flag == "--runs") runs = std::atoi(argv[i + 1]);
    else if (flag == "--keep") keep = argv[i + 1];
  }
  const std::string root = keep.empty() ? (std::filesystem::temp_directory_path() / "shelvo-add-bench").string() : keep;
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root + "/c");

  const std::string big = root + "/big", small = root + "/small";
  if (!shelvo::bench::generate_tree(big, entries).ok || !shelvo::bench::generate_tree(small, entries / 10, 7).ok) {
    std::fprintf(stderr, "add_bench: cannot generate the trees under %s\n", root.c_str());
    return 1;
  }
  const std::string cli = SHELVO_CLI_PATH;
  const std::vector<std::string> add = {cli, "/l:C:\\CAT", "E:", "/Y"};
  const std::vector<std::string> find = {"find", big, "-printf", "%p %s %T@\n"};

  std::vector<double> add_times, find_times, ratios;
  long big_peak = 0;
  for (int r = 0; r <= runs; ++r) { // the first pair warms the page cache
    const shelvo::bench::MeasuredRun a = shelvo::bench::run_measured(add, "/dev/null", {drives_for(root, big)});
    const shelvo::bench::MeasuredRun f = shelvo::bench::run_measured(find);
    if (!a.ok || !f.ok) {
      std::fprintf(stderr, "add_bench: a run failed\n");
      return 1;
    }
    if (r == 0) continue;
    add_times.push_back(a.seconds);
    find_times.push_back(f.seconds);
    ratios.push_back(a.seconds / f.seconds);
    big_peak = std::max(big_peak, a.peak_kb);
  }
  const shelvo::bench::MeasuredRun s = shelvo::bench::run_measured(add, "/dev/null", {drives_for(root, small)});

  std::printf("entries             %ld (and %ld for the memory check)\n", entries, entries / 10);
  std::printf("add (shelvo-cli)    median %.3f s\n", median(add_times));
  std::printf("find -printf        median %.3f s\n", median(find_times));
  std::printf("ratio add/find      median %.2f (min %.2f, max %.2f)   target <= 1.5\n", median(ratios),
              *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
  std::printf("peak memory         %ld KiB for %ld entries, %ld KiB for %ld entries (ratio %.2f)\n", big_peak,
              entries, s.peak_kb, entries / 10, static_cast<double>(big_peak) / static_cast<double>(s.peak_kb));
  if (keep.empty()) std::filesystem::remove_all(root);
  return 0;
}
