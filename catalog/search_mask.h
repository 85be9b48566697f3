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
  int third = -1;            // with distance 1: the byte after second when it is known, else -1
};

// A pair with the piece of the mask it lies in (its '?' standing for any byte)
// and where in the piece its first byte is.
struct PairInPiece {
  BytePair pair;
  std::string piece;
  std::size_t offset = 0;
  std::size_t mask = 0; // the positive mask it comes from, by its place in the list
};

// No mask in particular: for a find whose piece was not seen whole.
constexpr std::size_t any_mask = ~std::size_t{0};

// What every name accepted by a mask list holds: one of a few byte pairs (with
// the byte after a pair of adjacent bytes, when the mask has one there).
// Built for lists whose every positive mask has a piece with two literal bytes
// or with a byte that names rarely hold.
class NameProbe {
public:
  static constexpr std::size_t max_pairs = 8; // one bit each in the nibble tables
  static constexpr std::size_t max_distance = 32;
  // Up to this many pairs a scan compares each on its own; more are looked up
  // in the nibble tables (at a cost that does not grow with their number), which
  // take pairs of bytes at most two apart.
  static constexpr std::size_t pairs_compared_alone = 3;
  static constexpr std::size_t table_reach = 2;

  // The first position p in [from, end) where some pair starts (p[0] is its
  // first byte, p[distance] its second, p[2] its third if it has one, all before
  // end); end when there is none. A name lying wholly in [from, end) without such
  // a position is rejected by the list.
  const char* find(const char* from, const char* end) const;
  // True when a pair starts at p, with all its bytes before end.
  bool starts_at(const char* p, const char* end) const;

  std::size_t size() const { return count_; }
  const BytePair& operator[](std::size_t k) const { return pairs_[k]; }
  // How far after its start the last byte of a pair may lie.
  std::size_t reach() const { return reach_; }

  // False when no pair starting at p (inside [begin, end)) lies in its piece
  // there, so that p is no evidence of a hit: every name a mask accepts holds
  // the whole piece, the pair at its place in it. True when a piece would reach
  // outside [begin, end). mask is set to the mask of the piece that was seen
  // whole, else to any_mask.
  bool verified(const char* p, const char* begin, const char* end, std::size_t& mask) const;

  // The pairs as nibble tables, one for each offset from a pair's start (0, 1,
  // 2), for scans that test every pair at once: bit k of low[b & 15] &
  // high[b >> 4] of the table of offset o is set exactly when pair k has the byte
  // b at offset o, or has no byte there. Valid when every pair has its bytes at
  // most table_reach apart.
  struct NibbleTable {
    std::array<std::uint8_t, 16> low{};
    std::array<std::uint8_t, 16> high{};
  };
  const NibbleTable& table(std::size_t offset) const { return tables_[offset]; }
  // Whether scans look the pairs up in the tables rather than comparing each on
  // its own, and how many bytes after a position they then read.
  bool uses_tables() const { return count_ > pairs_compared_alone && reach_ <= table_reach; }
  std::size_t scan_reach() const { return uses_tables() ? table_reach : reach_; }

private:
  friend class CompiledMaskList;
  bool add(const PairInPiece& found);
  void fill_tables();
  std::array<BytePair, max_pairs> pairs_{};
  std::vector<PairInPiece> pieces_; // of every pair, several for a pair two masks share
  // For each byte, a bit for each of the pieces whose pair starts with it.
  std::array<std::uint32_t, 256> pieces_by_first_{};
  // Each piece of up to eight bytes as a word to compare eight bytes with:
  // its literal bytes, and the bits that must equal them (none for a longer
  // piece).
  struct PieceWord {
    std::uint64_t value = 0;
    std::uint64_t care = 0;
  };
  std::vector<PieceWord> piece_words_;
  std::size_t count_ = 0;
  std::size_t reach_ = 0;
  std::array<NibbleTable, table_reach + 1> tables_{};
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
  // set for a pattern that matches no name at all (then none is needed). With
  // in_window, the bytes lie at most NameProbe::table_reach apart, with a third
  // byte after two adjacent ones when the piece has it. With rare_adjacent, two
  // adjacent bytes that names rarely hold together, and false when there are
  // none.
  bool required_pair(PairInPiece& found, bool& accepts_nothing, bool in_window = false,
                     bool rare_adjacent = false) const;

  // One bit (byte_bit) for each literal byte of the pattern: every name it
  // matches holds them all.
  std::uint64_t literal_bytes() const { return literal_bytes_; }
  static std::uint64_t byte_bit(unsigned char byte) { return std::uint64_t{1} << (byte % 64); }

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
  std::uint64_t literal_bytes_ = 0;
};

// What settles a name without a '*' for a whole mask list, when something
// simpler than its masks does: every such name is a hit, or exactly those that
// hold one byte.
enum class StarFreeRule { none, every_name, names_holding_byte };

// A mask list compiled: positive masks are alternatives, exclusions apply to all.
class CompiledMaskList {
public:
  explicit CompiledMaskList(const MaskList& masks);

  // The same, trying first the positive mask likeliest to match (by its place
  // in the list, as PairInPiece::mask; any_mask for none).
  bool matches(std::string_view name, std::size_t likeliest) const {
    if (likeliest < positive_.size() && positive_[likeliest].matches(name))
      return exclusions_.empty() || !excluded(name, ~std::uint64_t{0});
    return matches(name);
  }

  // Same answer as match_mask_list(masks, name), for every name.
  bool matches(std::string_view name) const {
    if (!name.empty() && !last_byte_may_match_[static_cast<unsigned char>(name.back())]) return false;
    if (!several_) {
      for (const CompiledMask& mask : positive_)
        if (mask.matches(name)) return exclusions_.empty() || !excluded(name, ~std::uint64_t{0});
      return false;
    }
    // With several masks, those needing a byte the name lacks are passed over.
    const std::uint64_t held = bytes_held(name);
    for (const CompiledMask& mask : positive_)
      if ((mask.literal_bytes() & ~held) == 0 && mask.matches(name)) return !excluded(name, held);
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
  bool excluded(std::string_view name, std::uint64_t held) const;
  static std::uint64_t bytes_held(std::string_view name) {
    std::uint64_t held = 0;
    for (const char c : name) held |= CompiledMask::byte_bit(static_cast<unsigned char>(c));
    return held;
  }
  void choose_probe();
  void choose_star_free_rule();
  // The last bytes a hit can have: a pattern that ends in a literal byte only
  // matches names ending in it.
  std::array<bool, 256> last_byte_may_match_{};
  std::vector<CompiledMask> positive_;
  std::vector<CompiledMask> exclusions_;
  bool several_ = false; // more than one mask in all
  NameProbe probe_;
  bool has_probe_ = false;
  StarFreeRule rule_ = StarFreeRule::none;
  unsigned char rule_byte_ = 0;
};

} // namespace shelvo
