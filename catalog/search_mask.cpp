#include "catalog/search_mask.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "catalog/byte_scan.h"

namespace shelvo {

namespace {

// Patterns at least this long are refused by match_mask: they match nothing.
constexpr std::size_t general_matcher_limit = 256;

// How common a byte is in folded file names, roughly: vowels, frequent
// consonants, digits and the dot high, rare letters low. Only used to choose
// which bytes of a mask to look for first; any choice gives the same answers.
constexpr std::array<std::uint8_t, 256> make_byte_weights() {
  std::array<std::uint8_t, 256> w{};
  w.fill(2);
  constexpr std::string_view letters = "ETAOINSHRDLCUMWFGYPBVKJXQZ";
  constexpr std::array<std::uint8_t, 26> letter_weights = {40, 30, 28, 26, 25, 24, 22, 20, 20, 14, 13, 10, 10,
                                                           9,  8,  8,  7,  7,  7,  5,  4,  3,  1,  1,  1,  1};
  for (std::size_t k = 0; k < letters.size(); ++k) w[static_cast<unsigned char>(letters[k])] = letter_weights[k];
  for (char d = '0'; d <= '9'; ++d) w[static_cast<unsigned char>(d)] = 20;
  w['.'] = 40;
  w[' '] = 20;
  w['_'] = 15;
  w['-'] = 10;
  return w;
}

constexpr std::array<std::uint8_t, 256> byte_weights = make_byte_weights();

unsigned weight(char c) { return byte_weights[static_cast<unsigned char>(c)]; }

bool contains_star(std::string_view name) { return name.find('*') != std::string_view::npos; }

MaskPiece make_piece(std::string_view text) {
  MaskPiece piece;
  piece.text = text;
  piece.has_any = text.find('?') != std::string_view::npos;
  piece.anchor = text.size();
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '?') continue;
    if (piece.anchor == text.size() || weight(text[k]) < weight(text[piece.anchor])) piece.anchor = k;
  }
  return piece;
}

// The '?'-aware comparison of a piece against name bytes of its length. Pieces
// are a few bytes long, where a plain loop beats a call of memcmp; it runs from
// the end, where names differ most (their extensions).
bool piece_matches(const MaskPiece& piece, const char* name) {
  const std::string& text = piece.text;
  for (std::size_t k = text.size(); k-- > 0;)
    if (text[k] != name[k] && !(piece.has_any && text[k] == '?')) return false;
  return true;
}

// The leftmost start s in [from, limit - piece length] where the piece matches the
// name, or npos. Leftmost is enough: a later match never leaves more room for the
// pieces after it.
std::size_t find_piece(const MaskPiece& piece, std::string_view name, std::size_t from, std::size_t limit) {
  const std::size_t length = piece.text.size();
  if (from > limit || limit - from < length) return std::string_view::npos;
  const std::size_t last = limit - length;
  if (piece.anchor == length) return from; // only '?': any place that fits
  const char wanted = piece.text[piece.anchor];
  const char* const base = name.data();
  for (std::size_t s = from; s <= last; ++s) {
    const void* hit = std::memchr(base + s + piece.anchor, wanted, last - s + 1);
    if (!hit) break;
    s = static_cast<std::size_t>(static_cast<const char*>(hit) - base) - piece.anchor;
    if (piece_matches(piece, base + s)) return s;
  }
  return std::string_view::npos;
}

// A single byte is looked for only when names rarely hold it; a common one would
// find nearly every name and only add to the work.
constexpr unsigned rare_byte_weight = 4;

// The literal byte of a piece that names hold least often, as a pair of distance
// 0, if it is rare enough.
bool rarest_byte(const MaskPiece& piece, BytePair& best, unsigned& best_score) {
  bool found = false;
  for (const char c : piece.text) {
    if (c == '?' || weight(c) > rare_byte_weight) continue;
    const unsigned score = (weight(c) + 1) * 64; // behind any pair of rare bytes
    if (score < best_score) {
      best_score = score;
      best = BytePair{static_cast<unsigned char>(c), static_cast<unsigned char>(c), 0};
      found = true;
    }
  }
  return found;
}

// The pair of literal bytes of a piece that names hold least often, if any.
bool rarest_pair(const MaskPiece& piece, BytePair& best, unsigned& best_score) {
  const std::string& t = piece.text;
  bool found = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '?') continue;
    for (std::size_t j = i + 1; j < t.size() && j - i <= NameProbe::max_distance; ++j) {
      if (t[j] == '?') continue;
      const unsigned score = (weight(t[i]) + 1) * (weight(t[j]) + 1);
      if (score < best_score) {
        best_score = score;
        best = BytePair{static_cast<unsigned char>(t[i]), static_cast<unsigned char>(t[j]),
                        static_cast<std::uint8_t>(j - i)};
        found = true;
      }
    }
  }
  return found;
}

} // namespace

CompiledMask::CompiledMask(std::string_view pattern) : pattern_(pattern) {
  if (pattern.size() >= general_matcher_limit) return; // Shape::nothing
  std::size_t star = pattern.find('*');
  if (star == std::string_view::npos) {
    shape_ = Shape::literal;
    head_ = make_piece(pattern);
    return;
  }
  head_ = make_piece(pattern.substr(0, star));
  bool several_stars_before_a_byte = false;
  for (;;) {
    std::size_t after = star;
    while (after < pattern.size() && pattern[after] == '*') ++after;
    if (after == pattern.size()) break; // a trailing run: any rest of the name
    if (after - star > 1) several_stars_before_a_byte = true;
    star = pattern.find('*', after);
    if (star == std::string_view::npos) {
      tail_ = make_piece(pattern.substr(after));
      break;
    }
    middle_.push_back(make_piece(pattern.substr(after, star - after)));
  }
  min_length_ = head_.text.size() + tail_.text.size();
  for (const MaskPiece& piece : middle_) min_length_ += piece.text.size();
  if (several_stars_before_a_byte) {
    shape_ = Shape::star_names_only;
  } else if (min_length_ == 0) {
    shape_ = Shape::anything;
  } else {
    shape_ = Shape::glob;
    if (!head_.text.empty() && head_.text.front() != '?') head_first_ = static_cast<unsigned char>(head_.text.front());
    if (!tail_.text.empty() && tail_.text.back() != '?') tail_last_ = static_cast<unsigned char>(tail_.text.back());
  }
}

bool CompiledMask::glob_matches(std::string_view name) const {
  const std::size_t n = name.size();
  if (n < min_length_) return false;
  if (!piece_matches(head_, name.data())) return false;
  const std::size_t limit = n - tail_.text.size();
  if (!piece_matches(tail_, name.data() + limit)) return false;
  std::size_t at = head_.text.size();
  for (const MaskPiece& piece : middle_) {
    const std::size_t found = find_piece(piece, name, at, limit);
    if (found == std::string_view::npos) return false;
    at = found + piece.text.size();
  }
  return true;
}

bool CompiledMask::matches_slowly(std::string_view name) const {
  switch (shape_) {
  case Shape::literal:
    return name.size() == head_.text.size() && piece_matches(head_, name.data());
  case Shape::anything:
    return !contains_star(name) || match_mask(pattern_, name);
  case Shape::glob:
    // A glob "no" is final; a "yes" on a name with a '*' is confirmed.
    return glob_matches(name) && (!contains_star(name) || match_mask(pattern_, name));
  case Shape::star_names_only:
    return contains_star(name) && match_mask(pattern_, name);
  case Shape::nothing:
    return false;
  }
  return false;
}

bool CompiledMask::required_pair(BytePair& pair, bool& accepts_nothing) const {
  accepts_nothing = shape_ == Shape::nothing;
  if (shape_ == Shape::nothing || shape_ == Shape::anything) return false;
  unsigned best = ~0u;
  bool found = rarest_pair(head_, pair, best);
  for (const MaskPiece& piece : middle_) found = rarest_pair(piece, pair, best) || found;
  found = rarest_pair(tail_, pair, best) || found;
  if (found) return true;
  found = rarest_byte(head_, pair, best);
  for (const MaskPiece& piece : middle_) found = rarest_byte(piece, pair, best) || found;
  return rarest_byte(tail_, pair, best) || found;
}

bool CompiledMask::matches_star_free_names_holding(unsigned char& byte) const {
  if (shape_ != Shape::glob || !head_.text.empty() || !tail_.text.empty() || middle_.size() != 1 ||
      middle_[0].text.size() != 1 || middle_[0].has_any)
    return false;
  byte = static_cast<unsigned char>(middle_[0].text[0]);
  return true;
}

bool NameProbe::add(BytePair pair) {
  for (std::size_t k = 0; k < count_; ++k)
    if (pairs_[k].first == pair.first && pairs_[k].second == pair.second && pairs_[k].distance == pair.distance)
      return true;
  if (count_ == max_pairs) return false;
  const auto bit = static_cast<std::uint8_t>(1u << count_);
  pairs_[count_++] = pair;
  reach_ = std::max<std::size_t>(reach_, pair.distance);
  first_low_[pair.first & 15] |= bit;
  first_high_[pair.first >> 4] |= bit;
  std::size_t group = 0;
  while (group < group_count_ && groups_[group].distance != pair.distance) ++group;
  if (group == group_count_) groups_[group_count_++].distance = pair.distance;
  groups_[group].low[pair.second & 15] |= bit;
  groups_[group].high[pair.second >> 4] |= bit;
  return true;
}

const char* NameProbe::find(const char* from, const char* end) const {
  if (count_ == 0 || from >= end) return end;
  return find_pair_start(*this, from, end);
}

CompiledMaskList::CompiledMaskList(const MaskList& masks) {
  for (const std::string& mask : masks.masks()) {
    if (mask.empty()) continue;
    if (mask[0] == '\\') exclusions_.emplace_back(std::string_view(mask).substr(1));
    else positive_.emplace_back(mask);
  }
  has_probe_ = true;
  for (const CompiledMask& mask : positive_) {
    const std::string& pattern = mask.pattern();
    BytePair pair;
    bool accepts_nothing = false;
    if (mask.required_pair(pair, accepts_nothing)) {
      if (!probe_.add(pair)) has_probe_ = false;
    } else if (!accepts_nothing) {
      has_probe_ = false;
    }
    if (accepts_nothing) continue;
    const char last = pattern.back();
    if (last == '*' || last == '?') last_byte_may_match_.fill(true);
    else last_byte_may_match_[static_cast<unsigned char>(last)] = true;
  }
  choose_star_free_rule();
}

void CompiledMaskList::choose_star_free_rule() {
  if (!exclusions_.empty()) return;
  bool every = false, holding = true, any = false;
  unsigned char byte = 0;
  for (const CompiledMask& mask : positive_) {
    every = every || mask.matches_every_star_free_name();
    unsigned char b = 0;
    if (!mask.matches_star_free_names_holding(b) || (any && b != byte)) holding = false;
    byte = b;
    any = true;
  }
  if (every) {
    rule_ = StarFreeRule::every_name;
  } else if (any && holding) {
    rule_ = StarFreeRule::names_holding_byte;
    rule_byte_ = byte;
  }
}

bool CompiledMaskList::excluded(std::string_view name) const {
  for (const CompiledMask& mask : exclusions_)
    if (mask.matches(name)) return true;
  return false;
}

} // namespace shelvo
