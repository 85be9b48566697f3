// Add benchmark: adding a generated volume of 200,000 entries with shelvo-cli
// against find printing the name, size and time of each entry of the same tree,
// alternating, in one run; the same add with its flushes to the disk and with
// them skipped (a preloaded library makes fsync and fdatasync return at once),
// alternating, which is what durability costs; the peak memory of adds of
// volumes of different sizes, which must not grow with the volume; and adding a
// tree of 2,000 ZIP archives, with the system calls it makes (strace -c) per
// member listed.
//
//   add_bench [--entries N] [--archives N] [--runs N] [--keep DIR]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "catalog/record_reader.h"
#include "common/measured_run.h"
#include "common/tree_generator.h"
#include "common/zip_tree_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::string drives_for(const std::string& root, const std::string& volume) {
  return "SHELVO_DRIVES=C:=" + root + "/c;E:=" + volume + "|BENCH";
}

// The member records of a volume file.
long members_in(const std::string& volume_path) {
  class Members final : public shelvo::RecordHandler {
  public:
    void directory_record(std::string_view) override {}
    void file_record(std::string_view, shelvo::RecordTail, std::string_view, bool member) override { count += member; }
    long count = 0;
  } members;
  std::FILE* f = std::fopen(volume_path.c_str(), "rb");
  if (!f) return -1;
  std::vector<char> bytes(1 << 16);
  shelvo::RecordReader reader(members, true);
  std::size_t n = std::fread(bytes.data(), 1, shelvo::header_length, f);
  reader.start_volume(n == shelvo::header_length ? static_cast<unsigned char>(bytes[shelvo::label_length]) : 0);
  while ((n = std::fread(bytes.data(), 1, bytes.size(), f)) > 0) reader.feed(std::span<const char>(bytes.data(), n));
  std::fclose(f);
  return members.count;
}

// The calls of one kind (or "total") in the summary strace -c wrote; -1 when absent.
long calls_in(const std::string& summary_path, const std::string& name) {
  std::FILE* f = std::fopen(summary_path.c_str(), "r");
  if (!f) return -1;
  long calls = -1;
  std::array<char, 512> line{};
  while (std::fgets(line.data(), line.size(), f)) {
    std::vector<std::string> fields;
    std::string field;
    for (const char* p = line.data(); *p; ++p) {
      if (*p == ' ' || *p == '\n') {
        if (!field.empty()) fields.push_back(field);
        field.clear();
      } else {
        field += *p;
      }
    }
    // % time, seconds, usecs/call, calls, [errors,] syscall
    if (fields.size() >= 5 && fields.back() == name) calls = std::atol(fields[3].c_str());
  }
  std::fclose(f);
  return calls;
}

} // namespace

int main(int argc, char** argv) {
  long entries = 200000;
  long archives = 2000;
  int runs = 5;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--entries") entries = std::atol(argv[i + 1]);
    else if (flag == "--runs") runs = std::atoi(argv[i + 1]);
    else if (flag == "--archives") archives = std::atol(argv[i + 1]);
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
  // The flushes: the same add, alternately with them and without (the page
  // cache warm from the runs above).
  std::vector<double> durable_times, skipped_times;
  const std::string skipped = std::string("LD_PRELOAD=") + SHELVO_FLUSHES_SKIPPED;
  for (int r = 0; r < runs; ++r) {
    const shelvo::bench::MeasuredRun d = shelvo::bench::run_measured(add, "/dev/null", {drives_for(root, big)});
    const shelvo::bench::MeasuredRun k =
        shelvo::bench::run_measured(add, "/dev/null", {drives_for(root, big), skipped});
    if (!d.ok || !k.ok) {
      std::fprintf(stderr, "add_bench: a run with or without the flushes failed\n");
      return 1;
    }
    durable_times.push_back(d.seconds);
    skipped_times.push_back(k.seconds);
  }
  const double volume_mb =
      static_cast<double>(std::filesystem::file_size(root + "/c/CAT/00000001.KTL")) / (1024.0 * 1024.0);

  const shelvo::bench::MeasuredRun s = shelvo::bench::run_measured(add, "/dev/null", {drives_for(root, small)});

  std::printf("entries             %ld (and %ld for the memory check)\n", entries, entries / 10);
  std::printf("add (shelvo-cli)    median %.3f s\n", median(add_times));
  std::printf("find -printf        median %.3f s\n", median(find_times));
  std::printf("ratio add/find      median %.2f (min %.2f, max %.2f)   target <= 1.5\n", median(ratios),
              *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
  std::printf("add with flushes    median %.3f s; without %.3f s: %+.3f s, ratio %.3f (volume file %.1f MiB)\n",
              median(durable_times), median(skipped_times), median(durable_times) - median(skipped_times),
              median(durable_times) / median(skipped_times), volume_mb);
  std::printf("peak memory         %ld KiB for %ld entries, %ld KiB for %ld entries (ratio %.2f)\n", big_peak,
              entries, s.peak_kb, entries / 10, static_cast<double>(big_peak) / static_cast<double>(s.peak_kb));

  // The ZIP tree: every member listed, and the system calls of the whole add.
  const std::string zips = root + "/zips";
  const shelvo::bench::GeneratedZipTree zip_tree = shelvo::bench::generate_zip_tree(zips, archives);
  if (!zip_tree.ok) {
    std::fprintf(stderr, "add_bench: cannot generate the ZIP tree under %s\n", root.c_str());
    return 1;
  }
  const std::vector<std::string> add_zips = {cli, "/l:C:\\ZIPS", "E:", "/Y"};
  std::vector<double> zip_times;
  for (int r = 0; r <= runs; ++r) {
    const shelvo::bench::MeasuredRun z = shelvo::bench::run_measured(add_zips, "/dev/null", {drives_for(root, zips)});
    if (!z.ok) {
      std::fprintf(stderr, "add_bench: adding the ZIP tree failed\n");
      return 1;
    }
    if (r > 0) zip_times.push_back(z.seconds);
  }
  const long recorded = members_in(root + "/c/ZIPS/00000001.KTL");
  std::printf("ZIP tree            %ld archives, %ld members; %ld member records written%s\n", zip_tree.archives,
              zip_tree.members, recorded, recorded == zip_tree.members ? "" : "  MISMATCH");
  std::printf("add of the ZIP tree median %.3f s\n", median(zip_times));
  const std::string summary = root + "/strace.txt";
  std::vector<std::string> traced = {"strace", "-f", "-c", "-o", summary};
  traced.insert(traced.end(), add_zips.begin(), add_zips.end());
  if (shelvo::bench::run_measured(traced, "/dev/null", {drives_for(root, zips)}).ok && calls_in(summary, "total") > 0) {
    const long total = calls_in(summary, "total");
    std::printf("system calls        %ld in all, %.3f per member (target <= 1); lseek %ld, read %ld, pread64 %ld, "
                "write %ld, openat %ld, newfstatat %ld\n",
                total, static_cast<double>(total) / static_cast<double>(zip_tree.members), calls_in(summary, "lseek"),
                calls_in(summary, "read"), calls_in(summary, "pread64"), calls_in(summary, "write"),
                calls_in(summary, "openat"), calls_in(summary, "newfstatat"));
  } else {
    std::printf("system calls        not counted: strace cannot trace here\n");
  }
  if (keep.empty()) std::filesystem::remove_all(root);
  return recorded == zip_tree.members ? 0 : 1;
}
