// Paths benchmark: `shelvo-cli --paths`, which writes one line per hit while the
// search runs, against what a find user would otherwise run: grep over a list
// that find wrote of the same tree; and --paths --host, which finds each hit on
// the tree itself, against --paths alone. Then, on a generated catalog of
// millions of records, --paths against the same search counting only (the
// search's own speed) and against the tree, with the peak memory of each.
//
//   paths_bench [--entries N] [--records N] [--runs N] [--keep DIR]
//
// The tree of every file of the catalog (1.6 million lines with the default
// records) is timed against the same search with --paths.
//
// Both sides write their lines into a file (GNU grep stops at the first match
// when its output is /dev/null). Exit status 1 when a run fails or the two sides
// do not report the same number of lines.
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

#include "common/catalog_generator.h"
#include "common/measured_run.h"
#include "common/tree_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

long count_lines(const std::string& path) {
  long lines = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) lines += std::count(chunk, chunk + n, '\n');
    std::fclose(f);
  }
  return lines;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Pair {
  std::vector<double> ours, theirs;
  std::vector<double> our_cpu, their_cpu;
  long our_lines = 0, their_lines = 0;
  long our_peak = 0, their_peak = 0;
};

// Alternates the two commands, after one warm-up pair for the page cache.
bool measure_pair(const std::vector<std::string>& ours, const std::vector<std::string>& theirs, int runs,
                  const std::string& scratch, Pair& pair) {
  for (int r = 0; r <= runs; ++r) {
    const shelvo::bench::MeasuredRun a = shelvo::bench::run_measured(ours, scratch + "/ours.out");
    const shelvo::bench::MeasuredRun b = shelvo::bench::run_measured(theirs, scratch + "/theirs.out");
    if (!a.ok || !b.ok) return false;
    if (r == 0) continue;
    pair.ours.push_back(a.seconds);
    pair.theirs.push_back(b.seconds);
    pair.our_cpu.push_back(a.cpu_seconds);
    pair.their_cpu.push_back(b.cpu_seconds);
    pair.our_peak = std::max(pair.our_peak, a.peak_kb);
    pair.their_peak = std::max(pair.their_peak, b.peak_kb);
  }
  pair.our_lines = count_lines(scratch + "/ours.out");
  pair.their_lines = count_lines(scratch + "/theirs.out");
  return true;
}

void print_pair(const char* what, const char* ours, const char* theirs, const Pair& p) {
  const double a = median(p.ours), b = median(p.theirs);
  std::printf("%s\n", what);
  std::printf("  %-34s median %.3f s  %9ld lines  %8.0f lines/s  peak %ld KiB\n", ours, a, p.our_lines,
              static_cast<double>(p.our_lines) / a, p.our_peak);
  std::printf("  %-34s median %.3f s  %9ld lines  %8.0f lines/s  peak %ld KiB\n", theirs, b, p.their_lines,
              static_cast<double>(p.their_lines) / b, p.their_peak);
  std::printf("  time ratio %.2f, CPU time %.3f s / %.3f s, ratio %.2f\n", a / b, median(p.our_cpu),
              median(p.their_cpu), median(p.our_cpu) / median(p.their_cpu));
}

} // namespace

int main(int argc, char** argv) {
  long entries = 200000;
  long records = 2000000;
  int runs = 5;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--entries") entries = std::atol(argv[i + 1]);
    else if (flag == "--records") records = std::atol(argv[i + 1]);
    else if (flag == "--runs") runs = std::atoi(argv[i + 1]);
    else if (flag == "--keep") keep = argv[i + 1];
  }
  const std::string root =
      keep.empty() ? (std::filesystem::temp_directory_path() / "shelvo-paths-bench").string() : keep;
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root + "/c/BIG");
  const std::string tree = root + "/tree";
  if (!shelvo::bench::generate_tree(tree, entries).ok) {
    std::fprintf(stderr, "paths_bench: cannot generate the tree under %s\n", root.c_str());
    return 1;
  }
  const auto catalog = shelvo::bench::generate_catalog(root + "/c/BIG", 100, records);
  if (!catalog.ok) {
    std::fprintf(stderr, "paths_bench: cannot generate the catalog under %s\n", root.c_str());
    return 1;
  }
  ::setenv("SHELVO_DRIVES", ("C:=" + root + "/c;E:=" + tree + "|BENCH").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);

  const std::string cli = SHELVO_CLI_PATH;
  // The tree as a volume, and as the list a find user keeps.
  if (!shelvo::bench::run_measured({cli, "/l:C:\\CAT", "E:", "/Y"}, root + "/add.out").ok ||
      !shelvo::bench::run_measured({"find", tree, "-printf", "%p\t%s\t%TY-%Tm-%Td %TH:%TM\n"}, root + "/list").ok) {
    std::fprintf(stderr, "paths_bench: cannot add the tree or list it\n");
    return 1;
  }

  Pair every, pdf, stream, host_every, host_pdf, host_find;
  const std::string list = root + "/list";
  // Every entry: directories (the root's empty name included) and files.
  const std::vector<std::string> every_entry = {cli, "/l:C:\\CAT", "*", "/d", "--paths"};
  const bool ok_every = measure_pair(every_entry, {"grep", "", list}, runs, root, every);
  // One extension in eight; in the list the name ends at the first tab.
  const std::vector<std::string> one_in_eight = {cli, "/l:C:\\CAT", "*.PDF", "--paths"};
  const bool ok_pdf = measure_pair(one_in_eight, {"grep", "-i", "-F", ".pdf\t", list}, runs, root, pdf);
  // The same hits as paths of this machine: the tree is E:, mounted.
  const auto with_host = [](std::vector<std::string> arguments) {
    arguments.emplace_back("--host");
    return arguments;
  };
  // Paths of this machine cost a reading of each directory that holds a hit,
  // as find's walk of the live tree does.
  const bool ok_host = measure_pair(with_host(every_entry), every_entry, runs, root, host_every) &&
                       measure_pair(with_host(one_in_eight), one_in_eight, runs, root, host_pdf) &&
                       measure_pair(with_host(one_in_eight), {"find", tree, "-iname", "*.pdf"}, runs, root, host_find);
  // Millions of hits: grep streams a list of exactly these lines (the output of
  // --paths itself); then the search counting only, and the tree.
  const std::vector<std::string> all_records = {cli, "/l:C:\\BIG", "*", "/a", "--paths"};
  Pair tree_pair, count_only;
  const bool ok_stream =
      shelvo::bench::run_measured(all_records, root + "/big_list").ok &&
      measure_pair(all_records, {"grep", "", root + "/big_list"}, runs, root, stream) &&
      measure_pair(all_records, {cli, "/l:C:\\BIG", "*", "/a", "/nd"}, runs, root, count_only) &&
      measure_pair({cli, "/l:C:\\BIG", "*"}, {cli, "/l:C:\\BIG", "*", "--paths"}, runs, root, tree_pair);
  if (!ok_every || !ok_pdf || !ok_host || !ok_stream) {
    std::fprintf(stderr, "paths_bench: a run failed\n");
    return 1;
  }

  // A child's peak includes what this program held when it started the child.
  rusage self{};
  ::getrusage(RUSAGE_SELF, &self);
  std::printf("tree %ld entries; catalog %ld volumes, %ld file and %ld member records\n", entries, catalog.volumes,
              catalog.file_records, catalog.member_records);
  std::printf("peaks below %ld KiB are this program's own resident set, not the child's\n\n", self.ru_maxrss);
  print_pair("every entry of the tree", "shelvo-cli '*' /d --paths", "grep '' LIST", every);
  print_pair("one extension in eight", "shelvo-cli '*.PDF' --paths", "grep -i -F '.pdf<TAB>' LIST", pdf);
  print_pair("every entry, paths of this machine", "shelvo-cli '*' /d --paths --host", "shelvo-cli '*' /d --paths",
             host_every);
  print_pair("one extension in eight, paths of this machine", "shelvo-cli '*.PDF' --paths --host",
             "shelvo-cli '*.PDF' --paths", host_pdf);
  print_pair("the same, against find on the live tree", "shelvo-cli '*.PDF' --paths --host",
             "find TREE -iname '*.pdf'", host_find);
  print_pair("every record of the catalog", "shelvo-cli '*' /a --paths", "grep '' (a list of the same lines)",
             stream);
  print_pair("the same, against the search counting only", "shelvo-cli '*' /a --paths",
             "shelvo-cli '*' /a /nd (no lines)", count_only);
  print_pair("the files of the catalog, as a tree and as paths", "shelvo-cli '*' (tree)", "shelvo-cli '*' --paths",
             tree_pair);
  std::printf("  (target: the tree at most 2 times --paths, CPU time)\n");

  bool agree = every.our_lines == every.their_lines && pdf.our_lines == pdf.their_lines &&
               host_every.our_lines == host_every.their_lines && host_pdf.our_lines == host_pdf.their_lines &&
               host_find.our_lines == host_find.their_lines &&
               stream.our_lines == catalog.file_records + catalog.member_records;
  if (!agree) std::fprintf(stderr, "paths_bench: the line counts differ\n");
  if (keep.empty()) std::filesystem::remove_all(root);
  return agree ? 0 : 1;
}
