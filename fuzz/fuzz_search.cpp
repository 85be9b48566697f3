// Search and listing through engine_main on arbitrary volume files: the first
// bytes choose the options and the masks, the rest is volume 1 of a catalog.
// Every hit, in its order, must be the hit of a plain reference search: the
// byte-at-a-time record reader with no filter, every name tried with
// match_mask_list, and the search rules written out as they read (list content,
// directories, only directories). Counting only must reach the same counters.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"
#include "catalog/record_reader.h"
#include "engine/engine_main.h"
#include "fuzz/fuzz_support.h"
#include "results/result_sink.h"
#include "results/run_state.h"

namespace {

using namespace shelvo;

// What the engine shows: one line per directory hit and per file hit.
class Hits final : public ResultSink {
public:
  NodeId add_volume_node(std::string_view, std::int32_t, VolumeNodeMode) override { return 0; }
  void append_volume_version(char, int) override {}
  NodeId add_directory_path(std::string_view path) override {
    (lines += "D ").append(path) += '\n';
    return 0;
  }
  NodeId add_file_line(std::string_view, std::string_view, std::int32_t, unsigned, unsigned, unsigned, unsigned,
                       unsigned) override {
    return 0;
  }
  NodeId add_found_file(std::string_view directory, std::string_view name, std::int32_t size, std::uint16_t date,
                        std::uint16_t time) override {
    lines += "F " + std::string(directory) + "|" + std::string(name) + "|" + std::to_string(size) + "|" +
             std::to_string(date) + "|" + std::to_string(time) + "\n";
    return 0;
  }
  void clear_result_tree() override { lines.clear(); }
  std::string lines;
};

// The search rules as they read, over every record, with the plain matcher.
class ReferenceSearch final : public RecordHandler {
public:
  ReferenceSearch(const MaskList& masks, bool c, bool d, bool j) : masks_(masks), c_(c), d_(d || j), j_(j) {}

  void directory_record(std::string_view path) override {
    const bool leaf_hit = matches(path.substr(leaf_of(path)));
    if (c_) {
      child_ = false;
      if (leaf_hit) {
        matched_ = true;
      } else if (matched_) {
        child_ = matches(parent_leaf_of(path));
        matched_ = false;
      }
    }
    if (d_ && (leaf_hit || matched_ || child_)) {
      (lines += "D ").append(path) += '\n';
      ++directories;
    }
  }
  void file_record(std::string_view name, RecordTail t, std::string_view directory, bool member) override {
    if (!((!j_ && matches(name)) || matched_)) return;
    const std::int32_t size = static_cast<std::int32_t>(static_cast<std::uint32_t>(t[0] & 0x7F) << 24 |
                                                        static_cast<std::uint32_t>(t[1]) << 16 |
                                                        static_cast<std::uint32_t>(t[2]) << 8 | t[3]);
    lines += "F " + std::string(directory) + "|" + std::string(name) + "|" + std::to_string(size) + "|" +
             std::to_string(t[4] << 8 | t[5]) + "|" + std::to_string(t[6] << 8 | t[7]) + "\n";
    ++files;
    if (member) ++members;
  }

  std::string lines;
  std::int32_t files = 0, members = 0, directories = 0;

private:
  bool matches(std::string_view name) const { return match_mask_list(masks_, name); }
  const MaskList& masks_;
  bool c_, d_, j_;
  bool matched_ = false, child_ = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::string catalog = fuzzing::scratch() + "/CAT";
  static const bool made = [&] { return std::system(("mkdir -p " + catalog).c_str()) == 0; }();
  if (!made) return 0;
  fuzzing::write_bytes(catalog + "/" + volume_file_name(0), "");
  // Repeated, for volumes long enough to be read in several lanes and chunks.
  std::string volume;
  for (int k = 0; k <= data[1] >> 5; ++k) volume += fuzzing::text_of(data + 3, size - 3);
  fuzzing::write_bytes(catalog + "/" + volume_file_name(1), volume);

  // Masks of every shape the fast paths know: a probe of one pair, several in
  // nibble tables, '*', '*.*', exclusions, '?' runs.
  static const char* const shapes[] = {"*",    "*.*",   "*.TXT", "A*",    "*Q?Z*", "\\*.TMP", "*A*B*", "??",
                                       "*AB*", "*XY*",  "*.0",   "*Z?Q*", "B9*",   "*.*.*", "\\A*",   "*C*"};
  ArgumentVector vector{"", "/l:C:\\CAT"};
  const int count = 1 + (data[2] & 7);
  for (int k = 0; k < count; ++k) vector.emplace_back(shapes[(data[0] + 5 * k + (data[2] >> 3) * k) % 16]);
  const bool a = data[1] & 1, d = data[1] & 2, c = data[1] & 4, j = data[1] & 8;
  if (a) vector.emplace_back("/a");
  if (d) vector.emplace_back("/d");
  if (c) vector.emplace_back("/cd");
  if (j) vector.emplace_back("/jd");
  if (data[1] & 16) vector.emplace_back("[*]");

  Hits hits;
  FrontEnd front;
  front.results = &hits;
  FUZZ_CHECK(engine_main(static_cast<int>(vector.size()), vector, front) == engine_ok);

  // The reference reads the same volume after its 16-byte header.
  RunSettings settings;
  int vector_count = static_cast<int>(vector.size());
  classify_elements(vector_count, vector, settings);
  ReferenceSearch reference(settings.search_masks, c, d, j); // "/cd" is option C alone
  RecordReader reader(reference, a && !j);
  const std::string_view records = volume.size() > header_length ? std::string_view(volume).substr(header_length)
                                                                 : std::string_view();
  // A volume's label (up to its first 0x00) must pass the volume masks first.
  const std::string_view label = std::string_view(volume).substr(0, label_length);
  const bool selected =
      settings.volume_masks.empty() || match_mask_list(settings.volume_masks, label.substr(0, label.find('\0')));
  reader.start_volume(volume.size() > label_length ? static_cast<unsigned char>(volume[label_length]) : 0);
  if (selected) reader.feed_bytewise(std::span<const char>(records.data(), records.size()));
  if (hits.lines != reference.lines)
    std::fprintf(stderr, "engine:\n%s\nreference:\n%s\n", hits.lines.c_str(), reference.lines.c_str());
  FUZZ_CHECK(hits.lines == reference.lines);
  FUZZ_CHECK(counters.found_files == reference.files && counters.found_members == reference.members &&
             counters.found_dirs == reference.directories);

  // Counting only, the reader counts the hits itself: the same counters.
  const EngineCounters shown = counters;
  vector.emplace_back("/nd");
  FUZZ_CHECK(engine_main(static_cast<int>(vector.size()), vector, front) == engine_ok);
  FUZZ_CHECK(counters.found_files == shown.found_files && counters.found_bytes == shown.found_bytes &&
             counters.found_members == shown.found_members && counters.found_dirs == shown.found_dirs &&
             counters.found_volumes == shown.found_volumes);

  ArgumentVector listing{"", "/l:C:\\CAT", "/W"};
  FUZZ_CHECK(engine_main(3, listing, front) == engine_ok);
  return 0;
}
