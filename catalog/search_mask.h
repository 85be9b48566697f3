// Search masks compiled once before a search, so that testing the millions of
// names of a large catalog costs a prefix or suffix comparison instead of a run
// of the general matcher. The result always equals match_mask / match_mask_list.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/name_matching.h"

namespace shelvo {

// One pattern (a positive mask, or an exclusion mask without its '\').
class CompiledMask {
public:
  explicit CompiledMask(std::string_view pattern);
  const std::string& pattern() const { return pattern_; }

  // Same answer as match_mask(pattern, name), for every name.
  bool matches(std::string_view name) const {
    // Inline, as it runs once per record of the catalog: a literal or a head
    // and tail that do not fit settle most names at their last byte.
    switch (shape_) {
    case Shape::literal:
      if (name.size() != pattern_.size()) return false;
      break;
    case Shape::prefix_suffix:
      if (name.size() < head_.size() + tail_.size()) return false;
      if (!tail_.empty() && tail_.back() != '?' && name.back() != tail_.back()) return false;
      break;
    case Shape::anything:
    case Shape::general:
      break;
    }
    return matches_slowly(name);
  }

private:
  bool matches_slowly(std::string_view name) const;

  // literal: no '*' (a '?' compares as any one byte); anything: only '*'; prefix_suffix: a literal
  // head (may hold '?'), one run of '*', a literal tail ('?' allowed);
  // general: everything else, left to match_mask.
  enum class Shape { literal, anything, prefix_suffix, general };

  std::string pattern_;
  Shape shape_ = Shape::general;
  std::string head_;
  std::string tail_;
  bool head_has_any_ = false; // the head (or the literal) holds a '?'
  bool tail_has_any_ = false;
};

// A mask list compiled: positive masks are alternatives, exclusions apply to all.
class CompiledMaskList {
public:
  explicit CompiledMaskList(const MaskList& masks);

  // Same answer as match_mask_list(masks, name), for every name.
  bool matches(std::string_view name) const {
    if (!name.empty() && !last_byte_may_match_[static_cast<unsigned char>(name.back())]) return false;
    for (const CompiledMask& mask : positive_) {
      if (mask.matches(name)) return exclusions_.empty() || !excluded(name);
    }
    return false;
  }
  bool can_match() const { return !positive_.empty(); }

private:
  bool excluded(std::string_view name) const;
  // The last bytes a hit can have: a pattern that ends in a literal byte only
  // matches names ending in it. Most names of a catalog are settled here.
  std::array<bool, 256> last_byte_may_match_{};
  std::vector<CompiledMask> positive_;
  std::vector<CompiledMask> exclusions_;
};

} // namespace shelvo
