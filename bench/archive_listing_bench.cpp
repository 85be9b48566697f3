// Archive listing benchmark: scan_archive on a ZIP of many small members against
// `bsdtar -tvf` on the same file, in the same run.
//
//   archive_listing_bench [--members N] [--runs N]
//
// Makes N small files (20,000 by default) in a temporary directory, zips them
// with the zip command, then times each lister --runs times (5 by default) and
// prints the medians and their ratio. Exit status 1 when scan_archive does not
// record every member or a tool fails.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "results/run_state.h"
#include "platform/file_access.h"
#include "scanner/archive_scan.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

} // namespace

int main(int argc, char** argv) {
  long members = 20000;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--members") members = std::atol(argv[i + 1]);
    else if (option == "--runs") runs = std::atoi(argv[i + 1]);
  }
  if (members < 1 || runs < 1) {
    std::fprintf(stderr, "usage: archive_listing_bench [--members N] [--runs N]\n");
    return 1;
  }

  char pattern[] = "/tmp/shelvo-archive-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::filesystem::path work = pattern;
  const std::filesystem::path files = work / "files";
  // Spread over directories of 500, as a source tree or photo archive would be.
  for (long i = 0; i < members; ++i) {
    const std::filesystem::path dir = files / ("d" + std::to_string(i / 500));
    if (i % 500 == 0) std::filesystem::create_directories(dir);
    std::ofstream(dir / ("member_" + std::to_string(i) + ".txt")) << "contents of member " << i << '\n';
  }
  const std::string archive = (work / "bench.zip").string();
  const auto zip_start = Clock::now();
  // -D: no directory entries, so every entry is a member scan_archive records.
  if (std::system(("cd " + quoted(work.string()) + " && zip -q -r -D bench.zip files").c_str()) != 0) return 1;
  std::printf("made %s: %ld members, %ju bytes, in %.1f s\n", archive.c_str(), members,
              static_cast<std::uintmax_t>(std::filesystem::file_size(archive)), seconds_since(zip_start));

  std::vector<double> scan_times, bsdtar_times;
  const std::string volume_path = (work / "00000001.KTL").string();
  const std::string bsdtar = "bsdtar -tvf " + quoted(archive) + " > /dev/null";
  for (int run = 0; run < runs; ++run) {
    // Alternate the two so that a burst of load elsewhere hits both alike.
    shelvo::reset_counters();
    const auto scan_start = Clock::now();
    {
      shelvo::File volume = shelvo::File::open_host(volume_path, "w+b");
      if (shelvo::scan_archive(volume, archive, "\\BENCH.ZIP") != 1 || !volume.close()) return 1;
    }
    scan_times.push_back(seconds_since(scan_start));
    if (shelvo::counters.scanned_members != members) {
      std::fprintf(stderr, "scan_archive recorded %d members of %ld\n", shelvo::counters.scanned_members, members);
      return 1;
    }
    const auto bsdtar_start = Clock::now();
    if (std::system(bsdtar.c_str()) != 0) return 1;
    bsdtar_times.push_back(seconds_since(bsdtar_start));
  }

  const double scan = median(scan_times), peer = median(bsdtar_times);
  std::printf("scan_archive   median %.4f s  (%.0f members/s)\n", scan, static_cast<double>(members) / scan);
  std::printf("bsdtar -tvf    median %.4f s  (%.0f members/s)\n", peer, static_cast<double>(members) / peer);
  std::printf("ratio scan_archive / bsdtar: %.2f  (%d runs each)\n", scan / peer, runs);
  std::filesystem::remove_all(work);
  return 0;
}
