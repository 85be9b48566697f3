// Maintenance benchmark, on catalogs of several sizes, each figure against what
// a user would do by hand with the same files, alternating, in one run:
// - deleting volume 1 with shelvo-cli, against a shell loop of mv that moves the
//   files after it down by one number (target: within 10 times, linear);
// - exporting every volume into an empty directory, and importing them all into
//   a new catalog, against a cp of the same files (targets: within 5 times,
//   linear), and against themselves with their flushes to the disk skipped (a
//   preloaded library makes fsync and fdatasync return at once): what the
//   flush of every volume file before its rename costs.
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
  std::printf("target: delete within 10 times the mv loop, and a time per volume that does not grow\n\n");

  // Export and import: the whole catalog out into an empty directory, and into
  // a new catalog (its empty file 0 goes at the first volume: --yes).
  const fs::path target = root / "c/OUT";
  const std::vector<std::string> export_all = {SHELVO_CLI_PATH, "/l:C:\\CAT", "--yes", "--export", "C:\\OUT"};
  const std::vector<std::string> import_all = {SHELVO_CLI_PATH, "/l:C:\\OUT", "--yes", "--import", "C:\\CAT"};
  const std::string copy_all = "cp \"$0\"/*.KTL \"$1\"/";
  const std::string skipped = std::string("LD_PRELOAD=") + SHELVO_FLUSHES_SKIPPED;
  std::printf("%-10s %12s %12s %12s %8s %8s %16s %18s\n", "volumes", "export (s)", "import (s)", "cp (s)", "exp/cp",
              "imp/cp", "import per vol", "unflushed exp/imp");
  for (const long count : sizes) {
    make_catalog(catalog, count);
    std::vector<double> exports, imports, copies, quick_exports, quick_imports;
    for (int r = 0; r < runs; ++r) {
      for (const bool flushed : {true, false}) {
        std::vector<std::string> environment = {drives};
        if (!flushed) environment.push_back(skipped);
        fs::remove_all(target);
        fs::create_directories(target);
        const MeasuredRun e = run_measured(export_all, "/dev/null", environment);
        fs::remove_all(target);
        fs::create_directories(target);
        std::ofstream(target / shelvo::volume_file_name(0));
        const MeasuredRun i = run_measured(import_all, "/dev/null", environment);
        const bool imported = fs::exists(target / shelvo::volume_file_name(count - 2));
        if (!e.ok || !i.ok || !imported) {
          std::fprintf(stderr, "maintenance_bench: an export or import failed\n");
          return 1;
        }
        (flushed ? exports : quick_exports).push_back(e.seconds);
        (flushed ? imports : quick_imports).push_back(i.seconds);
      }
      fs::remove_all(target);
      fs::create_directories(target);
      const MeasuredRun c = run_measured({"sh", "-c", copy_all, catalog.string(), target.string()});
      if (!c.ok) {
        std::fprintf(stderr, "maintenance_bench: a copy failed\n");
        return 1;
      }
      copies.push_back(c.seconds);
    }
    std::printf("%-10ld %12.3f %12.3f %12.3f %8.2f %8.2f %13.1f us %8.3f %8.3f\n", count, median(exports),
                median(imports), median(copies), median(exports) / median(copies), median(imports) / median(copies),
                median(imports) / static_cast<double>(count) * 1e6, median(quick_exports), median(quick_imports));
  }
  std::printf("target: export and import within 5 times the cp, and a time per volume that does not grow\n");
  if (keep.empty()) fs::remove_all(root);
  return 0;
}
