// Search masks compiled once before a search, so that testing the millions of
// names of a large catalog costs a few comparisons instead of a run of the
// general matcher. The result always equals match_mask / match_mask_list.
//
// Why a plain glob gives the right answer. match_mask differs from a glob (where
// '*' is any run and '?' any one byte) in two ways only:
// - a '*' of the pattern meets a '*' of the name as a literal first, so on a name
//   that holds a '*' it may say no where the glob says yes (never the reverse:
//   each of its steps is also a step of the glob);
// - a '*' looks one character ahead, so a run of two or more '*' followed by any
//   other character can be passed only by a '*' of the name: on every other name
//   such a pattern matches nothing. A run at the end of the pattern is one '*'.
// So a compiled mask answers as a glob on names without a '*', and asks
// match_mask on the rare name that has one.
//
// Why a mask's pieces are in every name it accepts. Each step of match_mask
// consumes one byte of the name, and a pattern character other than '*' moves on
// only by consuming a byte ('?' any, a literal its equal). The characters between
// two runs of '*' (a piece) therefore lie on consecutive bytes of the name, every
// literal one on its equal. A search may look for two literal bytes of a piece,
// at their distance, in the whole read buffer and skip the names without them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/name_matching.h"
#include "catalog/vector_width.h"

namespace shelvo {

// Two literal bytes at a fixed distance within one piece of a mask; with
// distance 0, one byte (first and second are then the same).
struct BytePair {
  unsigned char first = 0;
  unsigned char second = 0;
  std::uint8_t distance = 0; // offset of second after first
};

// What every name accepted by a mask list holds: one of a few byte pairs.
// Built for lists whose every positive mask has a piece with two literal bytes
// or with a byte that names rarely hold.
class NameProbe {
public:
  static constexpr std::size_t max_pairs = 8; // one bit each in the nibble tables
  static constexpr std::size_t max_distance = 32;

  // The first position p in [from, end) where some pair starts (p[0] is its first
  // byte, p[distance] its second, before end); end when there is none. A name
  // lying wholly in [from, end) without such a position is rejected by the list.
  const char* find(const char* from, const char* end) const;

  std::size_t size() const { return count_; }
  const BytePair& operator[](std::size_t k) const { return pairs_[k]; }
  // The largest distance of a pair.
  std::size_t reach() const { return reach_; }

  // The pairs as nibble tables, for scans that test every pair at once: bit k
  // of first_low[b & 15] & first_high[b >> 4] is set exactly when b is the first
  // byte of pair k, and likewise for the second bytes of the pairs of each
  // distance, one group per distance.
  struct SecondBytes {
    std::uint8_t distance = 0;
    std::array<std::uint8_t, 16> low{};
    std::array<std::uint8_t, 16> high{};
  };
  const std::array<std::uint8_t, 16>& first_low() const { return first_low_; }
  const std::array<std::uint8_t, 16>& first_high() const { return first_high_; }
  std::span<const SecondBytes> second_groups() const { return {groups_.data(), group_count_}; }

private:
  friend class CompiledMaskList;
  bool add(BytePair pair);
  std::array<BytePair, max_pairs> pairs_{};
  std::size_t count_ = 0;
  std::size_t reach_ = 0;
  std::array<std::uint8_t, 16> first_low_{};
  std::array<std::uint8_t, 16> first_high_{};
  std::array<SecondBytes, max_pairs> groups_{};
  std::size_t group_count_ = 0;
};

// A star-free piece of a pattern: literal bytes, '?' for any one byte.
struct MaskPiece {
  std::string text;
  bool has_any = false;    // holds a '?'
  std::size_t anchor = 0;  // a literal byte to look for first (text.size() when all '?')
};

// One pattern (a positive mask, or an exclusion mask without its '\').
class CompiledMask {
public:
  explicit CompiledMask(std::string_view pattern);
  const std::string& pattern() const { return pattern_; }

  // Same answer as match_mask(pattern, name), for every name.
  bool matches(std::string_view name) const {
    // Inline, as it runs once per record of the catalog: a length, a first or a
    // last byte that do not fit settle most names before any search.
    if (shape_ == Shape::literal) {
      if (name.size() != head_.text.size()) return false;
    } else if (shape_ == Shape::glob) {
      if (name.size() < min_length_) return false;
      if (tail_last_ >= 0 && static_cast<unsigned char>(name.back()) != tail_last_) return false;
      if (head_first_ >= 0 && static_cast<unsigned char>(name.front()) != head_first_) return false;
    } else if (shape_ == Shape::nothing) {
      return false;
    }
    return matches_slowly(name);
  }

  // A byte pair every accepted name holds (the rarest in names), else a single
  // byte that names rarely hold; false when there is neither. accepts_nothing is
  // set for a pattern that matches no name at all (then none is needed).
  bool required_pair(BytePair& pair, bool& accepts_nothing) const;

  // True when the pattern matches every name without a '*' ("*").
  bool matches_every_star_free_name() const { return shape_ == Shape::anything; }
  // True, with the byte, when it matches exactly the names without a '*' that
  // hold one given byte ("*.*").
  bool matches_star_free_names_holding(unsigned char& byte) const;

private:
  bool matches_slowly(std::string_view name) const;
  bool glob_matches(std::string_view name) const;

  // literal: no '*' at all; anything: only '*'; glob: head, pieces, tail (the
  // head or the tail may be empty); star_names_only: a run of several '*' before
  // another character, so only names holding a '*' can match; nothing: too long
  // for match_mask, which refuses it.
  enum class Shape { literal, anything, glob, star_names_only, nothing };

  std::string pattern_;
  Shape shape_ = Shape::nothing;
  MaskPiece head_;                 // the whole pattern when literal
  std::vector<MaskPiece> middle_;  // pieces between runs of '*', in order
  MaskPiece tail_;
  std::size_t min_length_ = 0;     // bytes of all pieces
  int head_first_ = -1;            // the head's first byte when literal, else -1
  int tail_last_ = -1;             // the tail's last byte when literal, else -1
};

// What settles a name without a '*' for a whole mask list, when something
// simpler than its masks does: every such name is a hit, or exactly those that
// hold one byte.
enum class StarFreeRule { none, every_name, names_holding_byte };

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

  // The pairs one of which every hit holds, or nullptr when some positive mask
  // has none (or there are too many to look for at once). With no positive mask
  // the probe is empty: no name is a hit.
  const NameProbe* probe() const { return has_probe_ ? &probe_ : nullptr; }

  // The same answer as matches() for names without a '*', where it applies; the
  // byte is that of names_holding_byte.
  StarFreeRule star_free_rule() const { return rule_; }
  unsigned char rule_byte() const { return rule_byte_; }

private:
  bool excluded(std::string_view name) const;
  void choose_star_free_rule();
  // The last bytes a hit can have: a pattern that ends in a literal byte only
  // matches names ending in it.
  std::array<bool, 256> last_byte_may_match_{};
  std::vector<CompiledMask> positive_;
  std::vector<CompiledMask> exclusions_;
  NameProbe probe_;
  bool has_probe_ = false;
  StarFreeRule rule_ = StarFreeRule::none;
  unsigned char rule_byte_ = 0;
};

} // namespace shelvo
