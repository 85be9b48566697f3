#include "index/trigram_keys.h"

#include <algorithm>

namespace shelvo {

std::vector<std::uint32_t> required_trigram_codes(std::string_view pattern, std::size_t max_codes) {
  std::vector<std::uint32_t> all;
  std::size_t run = 0; // literal bytes in a row before position i
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '*' || c == '?') {
      run = 0;
      continue;
    }
    if (++run >= 3) {
      const auto* p = reinterpret_cast<const unsigned char*>(pattern.data() + i - 2);
      all.push_back(trigram_code(p[0], p[1], p[2]));
    }
  }
  // Spread: every run of the pattern counts, the first and the last included.
  std::vector<std::uint32_t> codes;
  if (all.size() <= max_codes) {
    codes = all;
  } else if (max_codes == 1) {
    codes.push_back(all.front());
  } else if (max_codes > 1) {
    for (std::size_t k = 0; k < max_codes; ++k) codes.push_back(all[k * (all.size() - 1) / (max_codes - 1)]);
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return codes;
}

} // namespace shelvo
