// Search index benchmark: shelvo-cli with its search index, and without it,
// beside plocate on the same names; the index's build against a search of the
// whole catalog, and its size; then a generated catalog of up to a hundred
// million records and a search for a rare run of three letters in it.
//
//   index_bench [--records N] [--source DIR] [--runs N] [--generated N,N,...] [--keep DIR]
//
// The names are a real disk's: --source (default /usr) is added once as a
// volume, and its volume file is written again under new numbers and labels
// until the catalog holds --records records (default 2,000,000; 20,000,000 for
// the figures of bench/README.md). plocate's database is built with
// `plocate-build -p -l no` from `shelvo-cli '*' /a --paths` of the same catalog
// (each hit's LABEL:\DIR\NAME with '/' for '\'), and plocate searches names
// alone (-b) with the masks in capitals, as the catalog stores names; every
// search writes its hits into a file, and the three sides must write as many.
// Times are CPU times of the child (user and system), medians of --runs rounds
// that alternate the sides, after one warm-up round; the page cache is warm.
//
// --generated N builds a catalog of N records with the benchmark's generator
// (one volume per million records), indexes it, and times a search for *QZV*
// (about one name in 9,000) with and without the index. The catalogs are made
// under the work directory (a temporary one unless --keep) and removed at the
// end: 100 million records take 3.5 GB, and their index about 0.6 GB more.
//
// Exit status 1 when a run fails or the sides disagree on a count.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "common/catalog_generator.h"
#include "common/measured_run.h"

namespace {

using shelvo::bench::MeasuredRun;
using shelvo::bench::median;
using shelvo::bench::run_measured;

struct Options {
  long records = 2000000;
  std::string source = "/usr";
  int runs = 5;
  std::vector<long> generated;
  std::string keep;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--records") o.records = std::atol(value.c_str());
    else if (key == "--source") o.source = value;
    else if (key == "--runs") o.runs = std::max(1, std::atoi(value.c_str()));
    else if (key == "--keep") o.keep = value;
    else if (key == "--generated") {
      std::stringstream list(value);
      for (std::string n; std::getline(list, n, ',');) o.generated.push_back(std::atol(n.c_str()));
    }
  }
  return o;
}

std::uint64_t bytes_under(const std::string& directory) {
  std::uint64_t total = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory, ec))
    if (entry.is_regular_file(ec)) total += entry.file_size(ec);
  return total;
}

class Bench {
public:
  Bench(std::string work, int runs) : work_(std::move(work)), runs_(runs) {
    environment_ = {"SHELVO_DRIVES=C:=" + work_, "XDG_CACHE_HOME=" + work_ + "/cache"};
  }

  MeasuredRun shelvo(std::vector<std::string> elements, const std::string& out = "/dev/null") {
    elements.insert(elements.begin(), SHELVO_CLI_PATH);
    return run_measured(elements, out, environment_);
  }

  // The median CPU milliseconds of each command, run in turn --runs times after
  // a warm-up round; lines: what each wrote, in lines. False when one failed.
  bool alternate(const std::vector<std::vector<std::string>>& commands, std::vector<double>& milliseconds,
                 std::vector<long>& lines) {
    std::vector<std::vector<double>> times(commands.size());
    for (int round = 0; round <= runs_; ++round) {
      for (std::size_t c = 0; c < commands.size(); ++c) {
        const MeasuredRun run = run_measured(commands[c], out(c), environment_);
        if (!run.ok) {
          std::printf("FAILED: %s\n", commands[c][0].c_str());
          return false;
        }
        if (round > 0) times[c].push_back(run.cpu_seconds * 1000);
      }
    }
    milliseconds.clear();
    lines.clear();
    for (std::size_t c = 0; c < commands.size(); ++c) {
      milliseconds.push_back(median(times[c]));
      lines.push_back(shelvo::bench::count_lines(out(c)));
    }
    return true;
  }

  std::string out(std::size_t c) const { return work_ + "/out" + std::to_string(c); }
  const std::string& work() const { return work_; }
  int runs() const { return runs_; }

private:
  std::string work_;
  int runs_;
  std::vector<std::string> environment_;
};

// The source added once, its volume file written again under new numbers until
// the catalog holds `records` records. The records of one copy, or 0.
long replicate_source(Bench& bench, const Options& options, const std::string& catalog) {
  const std::string template_catalog = bench.work() + "/SOURCE";
  if (!bench.shelvo({"/l:C:\\SOURCE", "--add", options.source, "--label", "SOURCE"}).ok &&
      !std::filesystem::exists(template_catalog + "/" + shelvo::volume_file_name(1)))
    return 0;
  if (!bench.shelvo({"/l:C:\\SOURCE", "*", "/a", "/d", "--paths", "--no-index"}, bench.out(0)).ok) return 0;
  const long per_copy = shelvo::bench::count_lines(bench.out(0));
  std::ifstream in(template_catalog + "/" + shelvo::volume_file_name(1), std::ios::binary);
  const std::string volume((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::create_directories(catalog);
  std::ofstream(catalog + "/" + shelvo::volume_file_name(0), std::ios::binary);
  long written = 0;
  for (long number = 1; written < options.records; ++number, written += per_copy) {
    std::string label = "COPY" + std::to_string(number);
    label.resize(shelvo::label_length, ' ');
    std::ofstream(catalog + "/" + shelvo::volume_file_name(number), std::ios::binary)
        << label << std::string_view(volume).substr(shelvo::label_length);
  }
  return per_copy;
}

bool compare_with_plocate(Bench& bench, const std::string& catalog_element, bool& failed) {
  // plocate's input: every hit of '*' with '/' between components.
  std::printf("writing the paths of the catalog for plocate-build...\n");
  if (!bench.shelvo({catalog_element, "*", "/a", "--paths", "--no-index"}, bench.out(0)).ok) return false;
  const std::string list = bench.work() + "/paths.txt", database = bench.work() + "/plocate.db";
  {
    std::ifstream in(bench.out(0));
    std::ofstream paths(list);
    for (std::string line; std::getline(in, line);) {
      line.resize(line.find('\t'));
      std::replace(line.begin(), line.end(), '\\', '/');
      paths << line << '\n';
    }
  }
  const MeasuredRun built = run_measured({"plocate-build", "-p", "-l", "no", list, database});
  if (!built.ok) {
    std::printf("plocate-build failed (is plocate installed? scripts/setup installs it)\n");
    return false;
  }
  std::printf("plocate-build: %.2f s CPU, database %.1f MB\n\n", built.cpu_seconds,
              static_cast<double>(std::filesystem::file_size(database)) / 1e6);

  std::printf("%-8s %10s | %12s %12s %12s | index/plocate  index/linear\n", "mask", "hits", "index ms",
              "linear ms", "plocate ms");
  for (const char* mask : {"*.PDF", "*ZLIB*", "*TEST*", "*A?B*"}) {
    std::vector<double> ms;
    std::vector<long> lines;
    const std::vector<std::vector<std::string>> commands = {
        {SHELVO_CLI_PATH, catalog_element, mask, "/a", "--paths"},
        {SHELVO_CLI_PATH, catalog_element, mask, "/a", "--paths", "--no-index"},
        {"plocate", "-d", database, "-b", mask},
    };
    if (!bench.alternate(commands, ms, lines)) return false;
    const bool same = lines[0] == lines[1] && lines[1] == lines[2];
    if (!same) failed = true;
    std::printf("%-8s %10ld | %12.1f %12.1f %12.1f | %13.2f %13.2f%s\n", mask, lines[0], ms[0], ms[1], ms[2],
                ms[0] / ms[2], ms[0] / ms[1], same ? "" : "   MISMATCH of hit counts");
  }
  return true;
}

// The index built from nothing against a linear search of the whole catalog,
// alternating; the index's size against the catalog's.
bool time_build(Bench& bench, const std::string& catalog_element, const std::string& catalog) {
  std::vector<double> build, search, floor;
  for (int round = 0; round <= bench.runs(); ++round) {
    std::filesystem::remove_all(bench.work() + "/cache");
    const MeasuredRun b = bench.shelvo({catalog_element, "--index"});
    const MeasuredRun s = bench.shelvo({catalog_element, "*TEST*", "/a", "--paths", "--no-index"}, bench.out(1));
    const MeasuredRun f = bench.shelvo({catalog_element, "*.PDF", "/a", "/nd", "--no-index"});
    if (!b.ok || !s.ok || !f.ok) return false;
    if (round == 0) continue;
    build.push_back(b.cpu_seconds);
    search.push_back(s.cpu_seconds);
    floor.push_back(f.cpu_seconds);
  }
  const double catalog_bytes = static_cast<double>(bytes_under(catalog));
  const double index_bytes = static_cast<double>(bytes_under(bench.work() + "/cache"));
  std::printf("index build      %8.3f s CPU\n", median(build));
  std::printf("linear *TEST* /a --paths %8.3f s: build / search %.2f (target <= 1.5)\n", median(search),
              median(build) / median(search));
  std::printf("linear *.PDF /a /nd      %8.3f s: build / search %.2f\n", median(floor),
              median(build) / median(floor));
  std::printf("index %.1f MB for a catalog of %.1f MB: %.3f of it (target <= 0.5)\n\n", index_bytes / 1e6,
              catalog_bytes / 1e6, index_bytes / catalog_bytes);
  return true;
}

bool generated_catalog(Bench& bench, long records) {
  const std::string catalog = bench.work() + "/GEN";
  std::filesystem::remove_all(catalog);
  std::filesystem::remove_all(bench.work() + "/cache");
  std::filesystem::create_directories(catalog);
  const int volumes = static_cast<int>(std::max<long>(1, records / 1000000));
  std::printf("generating %ld records in %d volumes...\n", records, volumes);
  const shelvo::bench::GeneratedCatalog generated = shelvo::bench::generate_catalog(catalog, volumes, records);
  if (!generated.ok) return false;
  const MeasuredRun build = bench.shelvo({"/l:C:\\GEN", "--index"});
  if (!build.ok) return false;
  std::vector<double> ms;
  std::vector<long> lines;
  const std::vector<std::vector<std::string>> commands = {
      {SHELVO_CLI_PATH, "/l:C:\\GEN", "*QZV*", "/a", "--paths"},
      {SHELVO_CLI_PATH, "/l:C:\\GEN", "*QZV*", "/a", "--paths", "--no-index"},
  };
  const bool ran = bench.alternate(commands, ms, lines);
  std::printf("%ld records (%.2f GB), index %.2f GB built in %.1f s CPU; *QZV* /a: %ld hits, %.1f ms with the index, "
              "%.1f ms without%s\n\n",
              records, static_cast<double>(generated.bytes) / 1e9,
              static_cast<double>(bytes_under(bench.work() + "/cache")) / 1e9, build.cpu_seconds, lines[0], ms[0],
              ms[1], lines[0] == lines[1] ? "" : "   MISMATCH");
  std::filesystem::remove_all(catalog);
  std::filesystem::remove_all(bench.work() + "/cache");
  return ran && lines[0] == lines[1];
}

} // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);
  std::string work = options.keep;
  if (work.empty()) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/shelvo-index-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) return 2;
    work = pattern;
  }
  std::filesystem::create_directories(work);
  Bench bench(work, options.runs);
  bool failed = false;

  const std::string catalog = work + "/REAL";
  std::printf("the names of %s, written again until the catalog holds %ld records...\n", options.source.c_str(),
              options.records);
  const long per_copy = replicate_source(bench, options, catalog);
  if (per_copy == 0) {
    std::printf("cannot add %s\n", options.source.c_str());
    return 2;
  }
  std::printf("%ld records a copy, catalog %.1f MB\n\n", per_copy, static_cast<double>(bytes_under(catalog)) / 1e6);
  if (!time_build(bench, "/l:C:\\REAL", catalog)) failed = true;
  if (!compare_with_plocate(bench, "/l:C:\\REAL", failed)) failed = true;
  for (const long records : options.generated)
    if (!generated_catalog(bench, records)) failed = true;

  if (options.keep.empty()) std::filesystem::remove_all(work);
  return failed ? 1 : 0;
}
