// The compiled masks against the general matcher: lines of the input are masks
// up to an empty line, then names; every name gets the same answer from both,
// and every name the list accepts holds a find of its probe that the piece
// around it confirms.
// The names also check the quick comparison of host names with stored names.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalog/name_matching.h"
#include "catalog/search_mask.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace shelvo;
  const std::string_view text = fuzzing::text_of(data, size);
  MaskList masks(MaskList::search_mask_limit);
  std::vector<std::string_view> names;
  bool in_names = false;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (!in_names && line.empty()) in_names = true;
    else if (in_names) names.push_back(line.substr(0, line.find('\0')));
    else masks.add(line.substr(0, line.find('\0')));
    start = end + 1;
  }
  const CompiledMaskList compiled(masks);
  const NameProbe* probe = compiled.probe();
  for (const std::string_view name : names) {
    const bool hit = match_mask_list(masks, name);
    FUZZ_CHECK(compiled.matches(name) == hit);
    if (!hit || !probe) continue;
    // Every name the list accepts holds a find of its probe whose piece is
    // around it: a scan that passes over the others misses no hit.
    const char* const end = name.data() + name.size();
    bool verified = false;
    for (const char* p = probe->find(name.data(), end); p != end && !verified; p = probe->find(p + 1, end)) {
      std::size_t mask = any_mask;
      verified = probe->verified(p, name.data(), end, mask);
      FUZZ_CHECK(!verified || mask == any_mask || compiled.matches(name, mask) == hit);
    }
    FUZZ_CHECK(verified);
  }
  // The quick comparison of host names with stored names against the conversion.
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    const std::string stored = stored_name_of_host_name(names[i + 1]);
    FUZZ_CHECK(host_name_stores_as(names[i], stored) == (stored_name_of_host_name(names[i]) == stored));
    FUZZ_CHECK(host_name_stores_as(names[i], names[i + 1]) == (stored_name_of_host_name(names[i]) == names[i + 1]));
  }
  return 0;
}
