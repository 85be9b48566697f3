// Add benchmark: adding a generated volume of 200,000 entries with shelvo-cli
// against find printing the name, size and time of each entry of the same tree,
// alternating, in one run; and the peak memory of adds of volumes of different
// sizes, which must not grow with the volume.
//
//   add_bench [--entries N] [--runs N] [--keep DIR]
#include <fcntl.h>
#include <spawn.h>
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

#include "common/tree_generator.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double seconds = 0;
  long peak_kb = 0;
  bool ok = false;
};

// Runs a program with its output discarded and reports its wall time and peak
// resident memory, from the kernel's own accounting of the child.
Run run_measured(const std::vector<std::string>& arguments, const std::vector<std::string>& extra_env = {}) {
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env_strings(extra_env);
  for (char** e = environ; *e; ++e) env_strings.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  Run run;
  if (rc != 0) return run;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.peak_kb = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

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
    const Run a = run_measured(add, {drives_for(root, big)});
    const Run f = run_measured(find);
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
  const Run s = run_measured(add, {drives_for(root, small)});

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
