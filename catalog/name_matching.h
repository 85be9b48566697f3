// Name folding and mask matching.
//
// Names are folded and upper-cased once, when they are written into a catalog;
// masks are folded the same way when the engine reads them. Matching itself then
// compares bytes exactly. All text is single-byte Windows-1252.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace shelvo {

// The folded form of one Windows-1252 character: sixteen accented lower-case
// letters become plain letters; every other code is returned unchanged.
char fold_char(char c);

// Folds every character, then upper-cases 'a'..'z' only (bytes above 127 never).
void fold_name(std::string& name);

// A host name (UTF-8, or Windows-1252 bytes) in the catalog's code page: a
// character that Windows-1252 lacks, and '\', '*' and the controls 0x01-0x1F
// (which would break a path, a record or the matcher), become the byte that
// stands for one the catalog cannot hold. Case and accents are kept.
std::string host_name_in_code_page(std::string_view host_name);
// The same name as a volume file stores it: folded and upper-cased.
std::string stored_name_of_host_name(std::string_view host_name);
// True when stored_name_of_host_name(host_name) is stored_name; a plain ASCII
// name, the usual case, is compared in place.
bool host_name_stores_as(std::string_view host_name, std::string_view stored_name);

// True when the pattern matches the whole name. '?' is one character, '*' any
// run; a literal equality is tried before the wildcard meaning, and a '*' only
// looks one character ahead, so "**X" matches nothing while "A**" matches "AB".
bool match_mask(std::string_view pattern, std::string_view name);

// A list of masks with a per-mask length limit and at most 31 masks, as the
// engine's fixed slots allow. A mask starting with '\' excludes names.
class MaskList {
public:
  static constexpr std::size_t max_masks = 31;
  static constexpr std::size_t search_mask_limit = 128;
  static constexpr std::size_t volume_mask_limit = 15;

  explicit MaskList(std::size_t length_limit) : length_limit_(length_limit) {}

  // Adds a mask; an empty mask ends a slot list and is not stored. Returns false
  // (and stores nothing) when the list is full or the mask is too long.
  bool add(std::string_view mask);
  bool empty() const { return masks_.empty(); }
  std::size_t size() const { return masks_.size(); }
  std::size_t length_limit() const { return length_limit_; }
  const std::vector<std::string>& masks() const { return masks_; }
  void clear() { masks_.clear(); }

private:
  std::size_t length_limit_;
  std::vector<std::string> masks_;
};

// A name is a hit when some positive mask matches it and no exclusion mask does;
// a list of exclusions alone never yields a hit.
bool match_mask_list(const MaskList& masks, std::string_view name);

// Position just after the last '\' or '/', or 0 when there is none.
std::size_t leaf_of(std::string_view path);

// The component before the last separator; empty when the path has fewer than
// two components ("\" and "\DIR" give "", "\DIR\SUB" gives "DIR").
std::string parent_leaf_of(std::string_view path);

} // namespace shelvo
