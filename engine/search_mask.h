// Search masks compiled once before a search, so that testing the millions of
// names of a large catalog costs a prefix or suffix comparison instead of a run
// of the general matcher. The result always equals match_mask / match_mask_list.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/name_matching.h"

namespace shelvo {

// One pattern (a positive mask, or an exclusion mask without its '\').
class CompiledMask {
public:
  explicit CompiledMask(std::string_view pattern);

  // Same answer as match_mask(pattern, name), for every name.
  bool matches(std::string_view name) const;

private:
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
  bool matches(std::string_view name) const;
  bool can_match() const { return !positive_.empty(); }

private:
  std::vector<CompiledMask> positive_;
  std::vector<CompiledMask> exclusions_;
};

} // namespace shelvo
