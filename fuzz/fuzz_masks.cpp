// The compiled masks against the general matcher: lines of the input are masks
// up to an empty line, then names; every name gets the same answer from both.
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
  for (const std::string_view name : names) FUZZ_CHECK(compiled.matches(name) == match_mask_list(masks, name));
  // The quick comparison of host names with stored names against the conversion.
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    const std::string stored = stored_name_of_host_name(names[i + 1]);
    FUZZ_CHECK(host_name_stores_as(names[i], stored) == (stored_name_of_host_name(names[i]) == stored));
    FUZZ_CHECK(host_name_stores_as(names[i], names[i + 1]) == (stored_name_of_host_name(names[i]) == names[i + 1]));
  }
  return 0;
}
