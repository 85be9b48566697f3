// Search and listing through engine_main on arbitrary volume files: the first
// bytes choose the options and the masks, the rest is volume 1 of a catalog.
// Counting only must reach the counters of the search that shows its hits.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalog/catalog_store.h"
#include "engine/engine_main.h"
#include "fuzz/fuzz_support.h"
#include "results/result_tree.h"
#include "results/run_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace shelvo;
  if (size < 2) return 0;
  const std::string catalog = fuzzing::scratch() + "/CAT";
  static const bool made = [&] { return std::system(("mkdir -p " + catalog).c_str()) == 0; }();
  if (!made) return 0;
  fuzzing::write_bytes(catalog + "/" + volume_file_name(0), "");
  // Repeated, for volumes long enough to be read in several lanes and chunks.
  std::string volume;
  for (int k = 0; k <= data[1] >> 5; ++k) volume += fuzzing::text_of(data + 2, size - 2);
  fuzzing::write_bytes(catalog + "/" + volume_file_name(1), volume);

  static const char* const masks[] = {"*", "*.TXT", "A*", "*Q?Z*", "\\*.TMP", "*A*B*", "??"};
  ArgumentVector vector{"", "/l:C:\\CAT"};
  vector.emplace_back(masks[data[0] % 7]);
  if (data[1] & 1) vector.emplace_back("/a");
  if (data[1] & 2) vector.emplace_back("/d");
  if (data[1] & 4) vector.emplace_back("/cd");
  if (data[1] & 8) vector.emplace_back("/jd");
  if (data[1] & 16) vector.emplace_back("[*]");
  ResultTree tree;
  FrontEnd front;
  front.results = &tree;
  FUZZ_CHECK(engine_main(static_cast<int>(vector.size()), vector, front) == engine_ok);
  FUZZ_CHECK(counters.found_files >= 0 && counters.found_members <= counters.found_files);
  // Counting only, the reader counts the hits itself: the same counters.
  const EngineCounters shown = counters;
  vector.emplace_back("/nd");
  FUZZ_CHECK(engine_main(static_cast<int>(vector.size()), vector, front) == engine_ok);
  FUZZ_CHECK(counters.found_files == shown.found_files && counters.found_bytes == shown.found_bytes &&
             counters.found_members == shown.found_members && counters.found_dirs == shown.found_dirs &&
             counters.found_volumes == shown.found_volumes);

  ArgumentVector listing{"", "/l:C:\\CAT", "/W"};
  tree.clear_result_tree();
  FUZZ_CHECK(engine_main(3, listing, front) == engine_ok);
  FUZZ_CHECK(tree.top_level_count() == 2);
  return 0;
}
