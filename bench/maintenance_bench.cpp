// Maintenance benchmark: deleting volume 1 of catalogs of several sizes with
// shelvo-cli, against a shell loop of mv that moves the same files down by one
// number, alternating, in one run. The delete must stay within 10 times the mv
// loop and grow linearly with the number of volumes.
//
//   maintenance_bench [--volumes N,N,...] [--runs N] [--keep DIR]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "common/measured_run.h"

namespace {

namespace fs = std::filesystem;
using shelvo::bench::MeasuredRun;
using shelvo::bench::run_measured;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// A catalog of count volume files of a few kilobytes each, as an add writes them.
void make_catalog(const fs::path& dir, long count) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / shelvo::volume_file_name(0));
  for (long n = 1; n < count; ++n) {
    std::string label = "VOL" + std::to_string(n);
    label.resize(shelvo::label_length, ' ');
    std::string bytes = label + '\x05';
    shelvo::encode_directory_record(bytes, "\\");
    for (int f = 0; f < 40; ++f) shelvo::encode_file_record(bytes, "FILE" + std::to_string(f) + ".TXT", 1234, 0x2822, 0x1883);
    std::ofstream(dir / shelvo::volume_file_name(n), std::ios::binary) << bytes;
  }
}

// The peer: what a user would type to delete file 1 and close the gap by hand.
std::string mv_script(const fs::path& dir, long count) {
  std::ostringstream script;
  script << "cd '" << dir.string() << "' && rm " << shelvo::volume_file_name(1) << "\n";
  script << "for n in $(seq 2 " << count - 1 << "); do\n"
         << "  mv \"$(printf %08d.KTL \"$n\")\" \"$(printf %08d.KTL $((n - 1)))\"\n"
         << "done\n";
  return script.str();
}

} // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes = {2500, 5000, 10000};
  int runs = 3;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--volumes") {
      sizes.clear();
      std::istringstream list(argv[i + 1]);
      for (std::string n; std::getline(list, n, ',');) sizes.push_back(std::atol(n.c_str()));
    } else if (flag == "--runs") {
      runs = std::atoi(argv[i + 1]);
    } else if (flag == "--keep") {
      keep = argv[i + 1];
    }
  }
  const fs::path root = keep.empty() ? fs::temp_directory_path() / "shelvo-maintenance-bench" : fs::path(keep);
  fs::remove_all(root);
  fs::create_directories(root / "c");
  const std::string drives = "SHELVO_DRIVES=C:=" + (root / "c").string();
  const fs::path catalog = root / "c/CAT";
  const std::vector<std::string> remove = {SHELVO_CLI_PATH, "/l:C:\\CAT", "--yes", "--delete", "1"};

  std::printf("%-10s %14s %14s %8s %18s\n", "volumes", "delete (s)", "mv loop (s)", "ratio", "delete per volume");
  double first_per_volume = 0;
  for (const long count : sizes) {
    const fs::path script = root / "mv.sh";
    std::ofstream(script) << mv_script(catalog, count);
    std::vector<double> deletes, loops;
    for (int r = 0; r < runs; ++r) {
      make_catalog(catalog, count);
      const MeasuredRun d = run_measured(remove, "/dev/null", {drives});
      make_catalog(catalog, count);
      const MeasuredRun m = run_measured({"sh", script.string()});
      if (!d.ok || !m.ok || fs::exists(catalog / shelvo::volume_file_name(count - 1))) {
        std::fprintf(stderr, "maintenance_bench: a run failed\n");
        return 1;
      }
      deletes.push_back(d.seconds);
      loops.push_back(m.seconds);
    }
    const double per_volume = median(deletes) / static_cast<double>(count);
    if (first_per_volume == 0) first_per_volume = per_volume;
    std::printf("%-10ld %14.3f %14.3f %8.3f %15.2f us   (x%.2f of the smallest)\n", count, median(deletes),
                median(loops), median(deletes) / median(loops), per_volume * 1e6, per_volume / first_per_volume);
  }
  std::printf("target: delete within 10 times the mv loop, and a time per volume that does not grow\n");
  if (keep.empty()) fs::remove_all(root);
  return 0;
}
