// Search benchmark: no-display searches of a generated catalog for every shape of
// mask (an extension, a prefix, a word anywhere, a word with '?', several runs of
// '*', one to six masks with and without an exclusion, '*' and '*.*'), each
// without and with archives and directories, against the floor of any search:
// a plain read() of the same files in 64 KiB chunks, in the same run. Also
// against grep -c over the same files (its counts written to a file, so that it
// reads everything), find over a tree of files, and each fast path of the search
// against its plain counterpart on the same input.
//
//   search_bench [--records N] [--volumes N] [--tree N] [--runs N]
//                [--width none|sse2|avx2|avx512] [--keep DIR]
//
// Times are CPU times (the search and the floor in this process, grep as a
// child), medians of --runs rounds in which every command runs once, in turn.
// Exit status 1 when a fast path disagrees with the plain one: a search finds
// other hits (files, members, directories, their bytes) than match_mask_list on
// every record read byte by byte, or the bulk reader other records than the
// byte-at-a-time one; 2 when the catalog cannot be written.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "catalog/record_reader.h"
#include "catalog/search_mask.h"
#include "catalog/vector_width.h"
#include "common/catalog_generator.h"
#include "common/measured_run.h"
#include "common/tree_generator.h"
#include "engine/search_pass.h"
#include "platform/drive_table.h"
#include "results/run_state.h"

namespace {

using namespace shelvo;

struct Options {
  long records = 10000000;
  int volumes = 100;
  long tree_entries = 200000;
  int runs = 5;
  std::string width; // empty: what the processor has
  std::string keep;
};

double cpu_now() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double cpu_seconds_of(const std::function<void()>& work) {
  const double start = cpu_now();
  work();
  return cpu_now() - start;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The least any search of these files does: read each one in 64 KiB chunks.
std::uint64_t read_plainly(const std::vector<std::string>& paths) {
  static std::array<char, 65536> buffer;
  std::uint64_t total = 0;
  for (const std::string& path : paths) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ssize_t n;
    while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<std::uint64_t>(n);
    ::close(fd);
  }
  return total;
}

std::string read_whole(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::array<char, 65536> chunk;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), f)) > 0) bytes.append(chunk.data(), n);
    std::fclose(f);
  }
  return bytes;
}

// Folds every record into one number, to show two readers saw the same records.
class Checksum final : public RecordHandler {
public:
  void directory_record(std::string_view path) override { mix(path); }
  void file_record(std::string_view name, RecordTail tail, std::string_view directory, bool member) override {
    mix(name);
    mix(directory);
    mix(std::string_view(reinterpret_cast<const char*>(tail.data()), tail.size()));
    mix(member ? "m" : "f");
  }
  std::uint64_t value = 1469598103934665603ull;

private:
  void mix(std::string_view bytes) {
    for (const char c : bytes) value = (value ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    value = (value ^ 0xFF) * 1099511628211ull;
  }
};

// Counts records, the least a consumer does, so the reader's own cost shows.
class RecordCount final : public RecordHandler {
public:
  void directory_record(std::string_view path) override { bytes += path.size(); }
  void file_record(std::string_view name, RecordTail tail, std::string_view, bool) override {
    bytes += name.size() + tail[3];
    ++records;
  }
  long records = 0;
  std::uint64_t bytes = 0;
};

double size_of(RecordTail tail) {
  return static_cast<double>(static_cast<std::uint32_t>(tail[0] & 0x7F) << 24 |
                             static_cast<std::uint32_t>(tail[1]) << 16 | static_cast<std::uint32_t>(tail[2]) << 8 |
                             tail[3]);
}

// What a search without list content must report.
struct Hits {
  long files = 0, members = 0, directories = 0;
  double file_bytes = 0, member_bytes = 0;
};

// The hits of several mask lists by match_mask_list, on every record; with no
// name filter, so that every record is seen.
class ReferenceHits final : public RecordHandler {
public:
  explicit ReferenceHits(const std::vector<MaskList>& lists) : lists_(lists), hits(lists.size()) {}
  void directory_record(std::string_view path) override {
    for (std::size_t k = 0; k < lists_.size(); ++k)
      if (match_mask_list(lists_[k], path.substr(leaf_of(path)))) ++hits[k].directories;
  }
  void file_record(std::string_view name, RecordTail tail, std::string_view, bool member) override {
    for (std::size_t k = 0; k < lists_.size(); ++k) {
      if (!match_mask_list(lists_[k], name)) continue;
      (member ? hits[k].members : hits[k].files) += 1;
      (member ? hits[k].member_bytes : hits[k].file_bytes) += size_of(tail);
    }
  }

private:
  const std::vector<MaskList>& lists_;

public:
  std::vector<Hits> hits;
};

// Counts the names that a mask list accepts through either matcher; with no name
// filter, so every record goes through the matcher.
class HitCount final : public RecordHandler {
public:
  HitCount(const MaskList& masks, bool compiled) : masks_(masks), compiled_masks_(masks), compiled_(compiled) {}
  void directory_record(std::string_view) override {}
  void file_record(std::string_view name, RecordTail, std::string_view, bool) override {
    if (compiled_ ? compiled_masks_.matches(name) : match_mask_list(masks_, name)) ++hits;
  }
  long hits = 0;

private:
  const MaskList& masks_;
  CompiledMaskList compiled_masks_;
  bool compiled_;
};

enum class Feeding { bulk, bytewise };

void read_volumes(const std::vector<std::string>& volumes, RecordHandler& handler, Feeding feeding,
                  bool archives = true) {
  RecordReader reader(handler, archives);
  constexpr std::size_t chunk = 65536;
  for (const std::string& bytes : volumes) {
    reader.start_volume(bytes.size() > label_length ? static_cast<unsigned char>(bytes[label_length]) : 0);
    std::size_t at = header_length;
    while (at < bytes.size()) {
      const std::span<const char> part(bytes.data() + at, std::min(chunk, bytes.size() - at));
      if (feeding == Feeding::bulk) reader.feed(part);
      else reader.feed_bytewise(part);
      at += part.size();
      if (const std::uint64_t skip = reader.pending_skip(); skip > 0) {
        const std::uint64_t n = std::min<std::uint64_t>(skip, bytes.size() - at);
        reader.skipped(n);
        at += static_cast<std::size_t>(n);
      }
    }
  }
}

// One shape of mask: the masks as the engine stores them (folded).
struct Shape {
  std::string what;
  std::vector<std::string> masks;
  bool targeted = true; // one of the shapes the targets are for
};

// Six masks as a user fills the window's six boxes, each as rare as the one
// mask of the first line, so that the lines show what the number of masks costs.
const std::array<const char*, 6> six_masks = {"*QZ*", "*ZQ*", "*.PDF", "*ZZ*", "*QQ*", "*QW*"};
constexpr const char* exclusion = "\\*.TXT";

std::vector<Shape> all_shapes() {
  std::vector<Shape> shapes = {
      {"extension", {"*.PDF"}},
      {"prefix", {"QZ*"}},
      {"word with ?", {"*Q?Z*"}},
      {"several runs of *", {"*QZ*_*.*"}},
      {"several runs, 1-byte pieces", {"*Q*Z*.*"}},
      {"everything", {"*"}},
      {"a dot", {"*.*"}},
      // Words of the vocabulary: a name in twelve is a hit.
      {"6 common words", {"*INVOICE*", "*HOLIDAY*", "*BACKUP*", "*REPORT*", "*SUMMER*", "*GUITAR*"}, false},
  };
  for (const bool excluding : {false, true}) {
    for (std::size_t count = 1; count <= six_masks.size(); ++count) {
      Shape shape{std::to_string(count) + (count == 1 ? " mask" : " masks") + (excluding ? ", exclusion" : ""), {},
                  true};
      for (std::size_t k = 0; k < count; ++k) shape.masks.emplace_back(six_masks[k]);
      if (excluding) shape.masks.emplace_back(exclusion);
      shapes.push_back(shape);
    }
  }
  return shapes;
}

MaskList mask_list(const Shape& shape) {
  MaskList masks(MaskList::search_mask_limit);
  for (const std::string& m : shape.masks) masks.add(m);
  return masks;
}

std::string mask_text(const Shape& shape) {
  std::string text;
  for (const std::string& m : shape.masks) text += (text.empty() ? "" : " ") + m;
  return text.size() > 24 ? text.substr(0, 21) + "..." : text;
}

// The options of a search: archives (/a), directories (/d).
struct Combination {
  bool archives;
  bool directories;
  const char* name;
};
constexpr std::array<Combination, 4> combinations = {
    {{false, false, "-"}, {true, false, "/a"}, {false, true, "/d"}, {true, true, "/a /d"}}};

bool parse_width(const std::string& text, VectorWidth& width) {
  if (text == "none") width = VectorWidth::none;
  else if (text == "sse2") width = VectorWidth::sse2;
  else if (text == "avx2") width = VectorWidth::avx2;
  else if (text == "avx512") width = VectorWidth::avx512;
  else return false;
  return true;
}

const char* width_name(VectorWidth width) {
  switch (width) {
  case VectorWidth::none: return "none";
  case VectorWidth::sse2: return "sse2";
  case VectorWidth::avx2: return "avx2";
  case VectorWidth::avx512: return "avx512";
  }
  return "?";
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const char* value = argv[i + 1];
    if (key == "--records") o.records = std::atol(value);
    else if (key == "--volumes") o.volumes = std::atoi(value);
    else if (key == "--tree") o.tree_entries = std::atol(value);
    else if (key == "--runs") o.runs = std::max(1, std::atoi(value));
    else if (key == "--width") o.width = value;
    else if (key == "--keep") o.keep = value;
  }
  return o;
}

} // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);
  if (!options.width.empty()) {
    VectorWidth width{};
    if (!parse_width(options.width, width)) {
      std::fprintf(stderr, "search_bench: --width takes none, sse2, avx2 or avx512\n");
      return 2;
    }
    limit_vector_width(width);
  }
  std::string work = options.keep;
  if (work.empty()) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/shelvo-search-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) return 2;
    work = pattern;
  }
  const std::string catalog = work + "/CAT";
  std::filesystem::create_directories(catalog);
  bool failed = false;

  std::printf("generating %d volumes, %ld records...\n", options.volumes, options.records);
  const bench::GeneratedCatalog generated = bench::generate_catalog(catalog, options.volumes, options.records);
  if (!generated.ok) return 2;
  const long all_records = generated.directory_records + generated.file_records + generated.member_records;
  std::printf("catalog: %.1f MB, %ld directory, %ld file and %ld member records, %ld archives, %ld *.PDF names\n",
              static_cast<double>(generated.bytes) / 1e6, generated.directory_records, generated.file_records,
              generated.member_records, generated.archives, generated.rare_names);
  std::printf("vector width: %s\n", width_name(vector_width()));

  DriveTable table;
  table.set(Drive{'C', work, std::nullopt});
  set_drive_table(table);

  std::vector<std::string> paths, volumes;
  for (int v = 0; v <= generated.volumes; ++v) {
    paths.push_back(catalog + "/" + volume_file_name(v));
    volumes.push_back(read_whole(paths.back()));
  }
  const std::vector<Shape> shapes = all_shapes();
  std::vector<MaskList> lists;
  for (const Shape& shape : shapes) lists.push_back(mask_list(shape));

  // 1. The hits every search must find, by match_mask_list on every record read
  // byte by byte; and the absent word, which must occur nowhere.
  std::printf("reference hits of %zu shapes...\n", shapes.size());
  ReferenceHits reference(lists);
  read_volumes(volumes, reference, Feeding::bytewise);
  for (const std::string& bytes : volumes) {
    if (bytes.find(bench::absent_word) != std::string::npos) {
      std::printf("MISMATCH: the absent word %s occurs in the catalog\n", bench::absent_word);
      failed = true;
      break;
    }
  }

  struct Found {
    long files = 0, members = 0, directories = 0;
    double bytes = 0, member_bytes = 0;
  };
  auto search = [&](const Shape& shape, const Combination& c) {
    RunSettings settings;
    settings.volume_cursor = "C:\\CAT\\00000000.KTL";
    settings.no_display = true;
    settings.option_a = c.archives;
    settings.option_d = c.directories;
    settings.search_masks = mask_list(shape);
    reset_counters();
    stop_flag = 0;
    search_pass(settings, FrontEnd{});
    return Found{counters.found_files, counters.found_members, counters.found_dirs, counters.found_bytes,
                 counters.found_member_bytes};
  };
  auto check = [&](std::size_t k, const Combination& c, const Found& found) {
    const Hits& h = reference.hits[k];
    const long files = h.files + (c.archives ? h.members : 0);
    const double bytes = h.file_bytes + (c.archives ? h.member_bytes : 0);
    const long members = c.archives ? h.members : 0;
    const double member_bytes = c.archives ? h.member_bytes : 0;
    const long directories = c.directories ? h.directories : 0;
    if (found.files == files && found.bytes == bytes && found.members == members &&
        found.member_bytes == member_bytes && found.directories == directories)
      return;
    std::printf("MISMATCH: %s %s: search found %ld files (%.0f bytes), %ld members, %ld directories; "
                "match_mask_list %ld (%.0f bytes), %ld, %ld\n",
                mask_text(shapes[k]).c_str(), c.name, found.files, found.bytes, found.members, found.directories,
                files, bytes, members, directories);
    failed = true;
  };

  // 2. Rounds: the floor, grep, then every shape with every combination, each
  // once per round, so that a busy moment of the machine hits all alike.
  ::setenv("LC_ALL", "C", 1);
  auto grep_for = [&](const char* word) {
    std::vector<std::string> grep{"grep", "-c", "-F", word};
    grep.insert(grep.end(), paths.begin(), paths.end());
    return grep;
  };
  const std::string grep_output = work + "/grep.out";
  const std::vector<std::string> grep_word = grep_for(bench::rare_word), grep_absent = grep_for(bench::absent_word);
  std::vector<double> floor_times, grep_word_times, grep_absent_times;
  std::vector<std::array<std::vector<double>, combinations.size()>> times(shapes.size());
  std::uint64_t floor_bytes = 0;
  read_plainly(paths); // the page cache
  for (int r = 0; r < options.runs; ++r) {
    floor_times.push_back(cpu_seconds_of([&] { floor_bytes = read_plainly(paths); }));
    const bench::MeasuredRun word = bench::run_measured(grep_word, grep_output);
    const bench::MeasuredRun absent = bench::run_measured(grep_absent, grep_output);
    // grep exits 1 when no line matched, which is the point of the absent word.
    if (word.seconds == 0 || absent.seconds == 0) {
      std::printf("grep could not be run\n");
      return 2;
    }
    grep_word_times.push_back(word.cpu_seconds);
    grep_absent_times.push_back(absent.cpu_seconds);
    for (std::size_t k = 0; k < shapes.size(); ++k) {
      for (std::size_t c = 0; c < combinations.size(); ++c) {
        Found found;
        times[k][c].push_back(cpu_seconds_of([&] { found = search(shapes[k], combinations[c]); }));
        if (r == 0) check(k, combinations[c], found);
      }
    }
  }
  const double floor_seconds = median(floor_times);
  const double grep_absent_seconds = median(grep_absent_times);

  // 3. find walking a generated tree, printing name, size and time of each entry.
  std::printf("generating a tree of %ld entries...\n", options.tree_entries);
  const std::string tree_dir = work + "/tree";
  const bench::GeneratedTree tree = bench::generate_tree(tree_dir, options.tree_entries);
  if (!tree.ok) return 2;
  const std::vector<std::string> find{"find", tree_dir, "-printf", "%f %s %T@\\n"};
  bench::run_measured(find);
  std::vector<double> find_times;
  for (int r = 0; r < options.runs; ++r) find_times.push_back(bench::run_measured(find).cpu_seconds);
  const double find_seconds = median(find_times);

  // 4. Bulk scanning against the byte-at-a-time reader, all volumes in memory.
  Checksum bulk_sum, bytewise_sum;
  read_volumes(volumes, bulk_sum, Feeding::bulk);
  read_volumes(volumes, bytewise_sum, Feeding::bytewise);
  std::vector<double> bulk_times, bytewise_times;
  RecordCount bulk_count, bytewise_count;
  for (int r = 0; r < options.runs; ++r) {
    bulk_times.push_back(cpu_seconds_of([&] {
      bulk_count = RecordCount();
      read_volumes(volumes, bulk_count, Feeding::bulk);
    }));
    bytewise_times.push_back(cpu_seconds_of([&] {
      bytewise_count = RecordCount();
      read_volumes(volumes, bytewise_count, Feeding::bytewise);
    }));
  }
  if (bulk_sum.value != bytewise_sum.value || bulk_count.bytes != bytewise_count.bytes) {
    std::printf("MISMATCH: bulk and bytewise readers saw different records\n");
    failed = true;
  }

  // 5. Compiled masks against the general matcher, on every name of the catalog
  // (no probe: each name goes through the compiled mask).
  const MaskList word_mask = mask_list(Shape{"", {"*QZ*"}});
  long compiled_hits = 0, plain_hits = 0;
  std::vector<double> compiled_times, plain_times;
  for (int r = 0; r < options.runs; ++r) {
    compiled_times.push_back(cpu_seconds_of([&] {
      HitCount compiled(word_mask, true);
      read_volumes(volumes, compiled, Feeding::bulk);
      compiled_hits = compiled.hits;
    }));
    plain_times.push_back(cpu_seconds_of([&] {
      HitCount plain(word_mask, false);
      read_volumes(volumes, plain, Feeding::bulk);
      plain_hits = plain.hits;
    }));
  }
  if (compiled_hits != plain_hits) {
    std::printf("MISMATCH: compiled masks found %ld, the general matcher %ld\n", compiled_hits, plain_hits);
    failed = true;
  }

  const double mb = static_cast<double>(floor_bytes) / 1e6;
  std::printf("\nCPU times, medians of %d rounds; x floor = time / floor, x grep = time / grep -c %s\n",
              options.runs, bench::absent_word);
  std::printf("floor: read() of the %zu files, %.1f MB   : %7.1f ms (%.0f MB/s)\n", paths.size(), mb,
              floor_seconds * 1e3, mb / (floor_seconds * 1e3) * 1e3);
  std::printf("grep -c -F %s (the masks' word), to a file: %7.1f ms  x floor %.2f\n", bench::rare_word,
              median(grep_word_times) * 1e3, median(grep_word_times) / floor_seconds);
  std::printf("grep -c -F %s (absent), to a file         : %7.1f ms  x floor %.2f\n", bench::absent_word,
              grep_absent_seconds * 1e3, grep_absent_seconds / floor_seconds);
  std::printf("\n%-28s %-24s %8s", "shape", "masks", "hits /a");
  for (const Combination& c : combinations) std::printf(" | %5s ms  floor  grep", c.name);
  std::printf("\n");
  double worst = 0;
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    const Hits& h = reference.hits[k];
    std::printf("%-28s %-24s %8ld", shapes[k].what.c_str(), mask_text(shapes[k]).c_str(), h.files + h.members);
    for (std::size_t c = 0; c < combinations.size(); ++c) {
      const double t = median(times[k][c]);
      if (shapes[k].targeted) worst = std::max(worst, t / floor_seconds);
      std::printf(" | %8.1f %6.2f %5.2f", t * 1e3, t / floor_seconds, t / grep_absent_seconds);
    }
    std::printf("\n");
  }
  std::printf("worst shape but the common words: %.2f x floor (target <= 3.0)\n", worst);
  auto shape_index = [&](const std::string& what) {
    for (std::size_t k = 0; k < shapes.size(); ++k)
      if (shapes[k].what == what) return k;
    return std::size_t{0};
  };
  for (const bool excluding : {false, true}) {
    const std::string suffix = excluding ? ", exclusion" : "";
    const std::size_t one = shape_index("1 mask" + suffix), six = shape_index("6 masks" + suffix);
    std::printf("six masks / one mask%-11s:", suffix.c_str());
    for (std::size_t c = 0; c < combinations.size(); ++c)
      std::printf("  %s %.2f", combinations[c].name, median(times[six][c]) / median(times[one][c]));
    std::printf("   (target <= 1.5)\n");
  }

  const long tree_entries = tree.directories + tree.files;
  const double pdf_seconds = median(times[shape_index("extension")][1]);
  std::printf("\nfind -printf over %ld entries     : %7.1f ms  %6.1f ns/entry\n", tree_entries, find_seconds * 1e3,
              find_seconds * 1e9 / static_cast<double>(tree_entries));
  std::printf("reader bulk / bytewise (memory)   : %7.1f ms / %7.1f ms\n", median(bulk_times) * 1e3,
              median(bytewise_times) * 1e3);
  std::printf("masks compiled / general, *QZ*    : %7.1f ms / %7.1f ms\n", median(compiled_times) * 1e3,
              median(plain_times) * 1e3);
  std::printf("\nratios (higher is better for Shelvo):\n");
  std::printf("  find time per entry / search time per record (*.PDF /a) : %.1f  (target >= 20)\n",
              (find_seconds / static_cast<double>(tree_entries)) / (pdf_seconds / static_cast<double>(all_records)));
  std::printf("  bulk reader / bytewise reader speed                     : %.2f\n",
              median(bytewise_times) / median(bulk_times));
  std::printf("  compiled masks / general matcher, whole read            : %.2f\n",
              median(plain_times) / median(compiled_times));

  if (options.keep.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
  }
  return failed ? 1 : 0;
}
