// Searches through a search index against the same searches without it, on
// arbitrary volume files: the first bytes choose the masks, the options and how
// the index's segment is damaged afterwards, the rest is volume 1 of a catalog.
// Answers (the tree and every counter) must be equal with a segment as built,
// with one damaged anywhere, and with one damaged whose checksums were made to
// fit again (then the answers may differ, but the search ends normally and
// stays within its bounds).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "catalog/catalog_store.h"
#include "engine/engine_main.h"
#include "engine/index_building.h"
#include "fuzz/fuzz_support.h"
#include "index/content_hash.h"
#include "index/segment_format.h"
#include "results/result_tree.h"
#include "results/run_state.h"
#include "results/tree_text_output.h"

namespace {

using namespace shelvo;

struct Answer {
  std::string tree;
  EngineCounters counters;
};

Answer search(const ArgumentVector& vector, IndexUse use) {
  ResultTree tree;
  FrontEnd front;
  front.results = &tree;
  front.index = use;
  FUZZ_CHECK(engine_main(static_cast<int>(vector.size()), vector, front) == engine_ok);
  Answer answer;
  answer.counters = counters;
  char* text = nullptr;
  std::size_t length = 0;
  if (std::FILE* out = ::open_memstream(&text, &length)) {
    write_tree(tree, out, true);
    std::fclose(out);
    answer.tree.assign(text, length);
    std::free(text);
  }
  return answer;
}

bool same(const Answer& a, const Answer& b) {
  const EngineCounters& x = a.counters;
  const EngineCounters& y = b.counters;
  return a.tree == b.tree && x.found_files == y.found_files && x.found_bytes == y.found_bytes &&
         x.found_members == y.found_members && x.found_member_bytes == y.found_member_bytes &&
         x.found_dirs == y.found_dirs && x.found_volumes == y.found_volumes;
}

// The checksums of a damaged segment made to fit its bytes again: what a forger
// would write, which only the checks of the numbers themselves can find out.
std::string resealed(std::string segment) {
  std::optional<SegmentHeader> header = decode_segment_header(segment);
  if (!header || header->file_length() != segment.size()) return segment;
  const std::string_view body = std::string_view(segment).substr(header->body_at());
  std::string checksums;
  for (std::size_t at = 0; at < body.size(); at += segment_page_bytes)
    put_u64(checksums, content_hash(body.substr(at, segment_page_bytes)));
  header->checksums_hash = content_hash(checksums);
  return encode_segment_header(*header) + checksums + std::string(body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::string catalog = fuzzing::scratch() + "/CAT";
  const std::string cache = fuzzing::scratch() + "/cache";
  static const bool made = [&] { return std::system(("mkdir -p " + catalog).c_str()) == 0; }();
  if (!made) return 0;
  IndexPolicy::min_volume_bytes = 0;
  IndexPolicy::block_bytes = 16u << (data[2] % 6);
  std::filesystem::remove_all(cache);
  fuzzing::write_bytes(catalog + "/" + volume_file_name(0), "");
  std::string volume;
  for (int k = 0; k <= data[1] >> 5; ++k) volume += fuzzing::text_of(data + 6, size - 6);
  fuzzing::write_bytes(catalog + "/" + volume_file_name(1), volume);

  static const char* const masks[] = {"*TXT*", "*.TXT", "ABC*", "*Q?Z*", "README", "*A*B*", "*AB*CD*", "???"};
  ArgumentVector vector{"", "/l:C:\\CAT"};
  vector.emplace_back(masks[data[0] % 8]);
  if (data[0] & 8) vector.emplace_back(masks[(data[0] >> 4) % 8]);
  if (data[0] & 128) vector.emplace_back("\\*.BAK");
  if (data[1] & 1) vector.emplace_back("/a");
  if (data[1] & 2) vector.emplace_back("/d");
  if (data[1] & 4) vector.emplace_back("/jd");
  if (data[1] & 8) vector.emplace_back("/nd");
  if (data[1] & 16) vector.emplace_back("[*]");

  ArgumentVector only_catalog{"", "/l:C:\\CAT"};
  FrontEnd build;
  build.index = IndexUse::build;
  FUZZ_CHECK(engine_main(2, only_catalog, build) == engine_ok);
  const Answer expected = search(vector, IndexUse::off);
  FUZZ_CHECK(same(search(vector, IndexUse::automatic), expected));

  // The segment, damaged at a place and by a byte the input chooses.
  std::string segment_path;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cache, error))
    if (entry.path().extension() == ".idx") segment_path = entry.path();
  if (segment_path.empty()) return 0;
  std::string segment = fuzzing::read_bytes(segment_path);
  const std::size_t at = (static_cast<std::size_t>(data[3]) << 8 | data[4]) * 7 % segment.size();
  segment[at] = static_cast<char>(segment[at] ^ (data[5] | 1));
  const bool reseal = data[2] & 64;
  fuzzing::write_bytes(segment_path, reseal ? resealed(segment) : segment);
  const Answer damaged = search(vector, IndexUse::automatic);
  if (!reseal) FUZZ_CHECK(same(damaged, expected));
  FUZZ_CHECK(damaged.counters.found_files >= 0 && damaged.counters.found_members <= damaged.counters.found_files);
  return 0;
}
