#include "catalog/search_mask.h"


namespace shelvo {

namespace {

// Patterns at least this long are left to match_mask, which refuses them.
constexpr std::size_t general_matcher_limit = 256;

// The '?'-aware comparison of a literal piece against name bytes of equal length.
// Pieces are a few bytes long, where a plain loop beats a call of memcmp; it runs
// from the end, where names differ most (their extensions).
bool piece_matches(std::string_view piece, const char* name, bool has_any) {
  for (std::size_t k = piece.size(); k-- > 0;)
    if (piece[k] != name[k] && !(has_any && piece[k] == '?')) return false;
  return true;
}

bool contains_star(std::string_view name) { return name.find('*') != std::string_view::npos; }

} // namespace

CompiledMask::CompiledMask(std::string_view pattern) : pattern_(pattern) {
  if (pattern.size() >= general_matcher_limit) return;
  const std::size_t first_star = pattern.find('*');
  if (first_star == std::string_view::npos) {
    shape_ = Shape::literal;
    head_has_any_ = pattern.find('?') != std::string_view::npos;
    return;
  }
  std::size_t after_stars = first_star;
  while (after_stars < pattern.size() && pattern[after_stars] == '*') ++after_stars;
  const std::string_view tail = pattern.substr(after_stars);
  if (tail.find('*') != std::string_view::npos) return; // several runs of '*'
  // A '*' looks only one character ahead, so "**X" matches no name without a '*';
  // that quirk is left to the general matcher rather than reproduced here.
  if (after_stars - first_star > 1 && !tail.empty()) return;
  if (first_star == 0 && tail.empty()) {
    shape_ = Shape::anything;
    return;
  }
  shape_ = Shape::prefix_suffix;
  head_ = pattern.substr(0, first_star);
  tail_ = tail;
  head_has_any_ = head_.find('?') != std::string::npos;
  tail_has_any_ = tail_.find('?') != std::string::npos;
}

// The fast shapes answer as a plain glob. The general matcher differs from a glob
// only on names that hold a '*' themselves (there a '*' of the pattern takes the
// name's '*' literally), and it never says yes where the glob says no; so a glob
// "no" is final and a glob "yes" on such a name is confirmed by match_mask.
bool CompiledMask::matches_slowly(std::string_view name) const {
  switch (shape_) {
  case Shape::literal:
    // No '*' in the pattern: the general matcher compares position by position.
    return name.size() == pattern_.size() && piece_matches(pattern_, name.data(), head_has_any_);
  case Shape::anything:
    return !contains_star(name) || match_mask(pattern_, name);
  case Shape::prefix_suffix: {
    if (name.size() < head_.size() + tail_.size()) return false;
    if (!piece_matches(head_, name.data(), head_has_any_)) return false;
    if (!piece_matches(tail_, name.data() + name.size() - tail_.size(), tail_has_any_)) return false;
    return !contains_star(name) || match_mask(pattern_, name);
  }
  case Shape::general:
    return match_mask(pattern_, name);
  }
  return false;
}

CompiledMaskList::CompiledMaskList(const MaskList& masks) {
  for (const std::string& mask : masks.masks()) {
    if (mask.empty()) continue;
    if (mask[0] == '\\') exclusions_.emplace_back(std::string_view(mask).substr(1));
    else positive_.emplace_back(mask);
  }
  for (const CompiledMask& mask : positive_) {
    const std::string& pattern = mask.pattern();
    if (pattern.size() >= general_matcher_limit) continue; // matches nothing
    const char last = pattern.back();
    if (last == '*' || last == '?') last_byte_may_match_.fill(true);
    else last_byte_may_match_[static_cast<unsigned char>(last)] = true;
  }
}

bool CompiledMaskList::excluded(std::string_view name) const {
  for (const CompiledMask& mask : exclusions_)
    if (mask.matches(name)) return true;
  return false;
}

} // namespace shelvo
