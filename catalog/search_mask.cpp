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
bool rarest_byte(const MaskPiece& piece, PairInPiece& best, unsigned& best_score) {
  bool found = false;
  for (std::size_t i = 0; i < piece.text.size(); ++i) {
    const char c = piece.text[i];
    if (c == '?' || weight(c) > rare_byte_weight) continue;
    const unsigned score = (weight(c) + 1) * 64; // behind any pair of rare bytes
    if (score < best_score) {
      best_score = score;
      best = PairInPiece{BytePair{static_cast<unsigned char>(c), static_cast<unsigned char>(c), 0}, piece.text, i};
      found = true;
    }
  }
  return found;
}

// The pair of literal bytes of a piece that names hold least often, if any.
bool rarest_pair(const MaskPiece& piece, PairInPiece& best, unsigned& best_score) {
  const std::string& t = piece.text;
  bool found = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '?') continue;
    for (std::size_t j = i + 1; j < t.size() && j - i <= NameProbe::max_distance; ++j) {
      if (t[j] == '?') continue;
      const unsigned score = (weight(t[i]) + 1) * (weight(t[j]) + 1);
      if (score < best_score) {
        best_score = score;
        best = PairInPiece{BytePair{static_cast<unsigned char>(t[i]), static_cast<unsigned char>(t[j]),
                                    static_cast<std::uint8_t>(j - i)},
                           t, i};
        found = true;
      }
    }
  }
  return found;
}

// Two adjacent bytes that names hold together rarely enough that a scan finds
// them hardly more often than it would find them with the byte after: looking
// for a third byte costs a scan a third table for every byte it reads, while a
// find that the piece around it does not confirm costs little.
constexpr unsigned rare_pair_score = 200;

// The two adjacent literal bytes of a piece that names hold least often
// together, if any, scored without the factor of a third byte.
bool rarest_adjacent(const MaskPiece& piece, PairInPiece& best, unsigned& best_score) {
  const std::string& t = piece.text;
  bool found = false;
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i] == '?' || t[i + 1] == '?') continue;
    const unsigned score = (weight(t[i]) + 1) * (weight(t[i + 1]) + 1);
    if (score < best_score) {
      best_score = score;
      best = PairInPiece{BytePair{static_cast<unsigned char>(t[i]), static_cast<unsigned char>(t[i + 1]), 1}, t, i};
      found = true;
    }
  }
  return found;
}

// The three bytes from a literal one of a piece (the later two may be '?') whose
// literal bytes names hold least often together, as a pair within the nibble
// tables' reach; at least two literal bytes. A byte left out counts as one that
// every name holds (a weight of 255).
bool rarest_window(const MaskPiece& piece, PairInPiece& best, unsigned& best_score) {
  const std::string& t = piece.text;
  const auto literal = [&](std::size_t k) { return k < t.size() && t[k] != '?'; };
  bool found = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (!literal(i)) continue;
    BytePair pair{static_cast<unsigned char>(t[i]), 0, 0};
    unsigned score = (weight(t[i]) + 1) * 256;
    if (literal(i + 1)) {
      pair.second = static_cast<unsigned char>(t[i + 1]);
      pair.distance = 1;
      score *= weight(t[i + 1]) + 1;
      if (literal(i + 2)) {
        pair.third = static_cast<unsigned char>(t[i + 2]);
        score = score / 256 * (weight(t[i + 2]) + 1);
      }
    } else if (literal(i + 2)) {
      pair.second = static_cast<unsigned char>(t[i + 2]);
      pair.distance = 2;
      score *= weight(t[i + 2]) + 1;
    } else {
      continue;
    }
    if (score < best_score) {
      best_score = score;
      best = PairInPiece{pair, t, i};
      found = true;
    }
  }
  return found;
}

std::uint64_t literal_bytes_of(const MaskPiece& piece) {
  std::uint64_t bits = 0;
  for (const char c : piece.text)
    if (c != '?') bits |= CompiledMask::byte_bit(static_cast<unsigned char>(c));
  return bits;
}

} // namespace

CompiledMask::CompiledMask(std::string_view pattern) : pattern_(pattern) {
  if (pattern.size() >= general_matcher_limit) return; // Shape::nothing
  std::size_t star = pattern.find('*');
  if (star == std::string_view::npos) {
    shape_ = Shape::literal;
    head_ = make_piece(pattern);
    literal_bytes_ = literal_bytes_of(head_);
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
  literal_bytes_ = literal_bytes_of(head_) | literal_bytes_of(tail_);
  for (const MaskPiece& piece : middle_) {
    min_length_ += piece.text.size();
    literal_bytes_ |= literal_bytes_of(piece);
  }
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

bool CompiledMask::required_pair(PairInPiece& found, bool& accepts_nothing, bool in_window,
                                 bool rare_adjacent) const {
  accepts_nothing = shape_ == Shape::nothing;
  if (shape_ == Shape::nothing || shape_ == Shape::anything) return false;
  unsigned best = ~0u;
  if (rare_adjacent) {
    bool any = rarest_adjacent(head_, found, best);
    for (const MaskPiece& piece : middle_) any = rarest_adjacent(piece, found, best) || any;
    any = rarest_adjacent(tail_, found, best) || any;
    return any && best <= rare_pair_score;
  }
  const auto rarest = in_window ? rarest_window : rarest_pair;
  bool any = rarest(head_, found, best);
  for (const MaskPiece& piece : middle_) any = rarest(piece, found, best) || any;
  any = rarest(tail_, found, best) || any;
  if (any) return true;
  any = rarest_byte(head_, found, best);
  for (const MaskPiece& piece : middle_) any = rarest_byte(piece, found, best) || any;
  return rarest_byte(tail_, found, best) || any;
}

bool CompiledMask::matches_star_free_names_holding(unsigned char& byte) const {
  if (shape_ != Shape::glob || !head_.text.empty() || !tail_.text.empty() || middle_.size() != 1 ||
      middle_[0].text.size() != 1 || middle_[0].has_any)
    return false;
  byte = static_cast<unsigned char>(middle_[0].text[0]);
  return true;
}

bool NameProbe::add(const PairInPiece& found) {
  static_assert(MaskList::max_masks <= 32, "a piece for each positive mask, one bit each");
  const BytePair& pair = found.pair;
  pieces_by_first_[pair.first] |= std::uint32_t{1} << pieces_.size();
  pieces_.push_back(found);
  PieceWord word;
  if (found.piece.size() <= sizeof word.value) {
    std::array<unsigned char, sizeof word.value> value{}, care{};
    for (std::size_t at = 0; at < found.piece.size(); ++at) {
      if (found.piece[at] == '?') continue;
      value[at] = static_cast<unsigned char>(found.piece[at]);
      care[at] = 0xFF;
    }
    std::memcpy(&word.value, value.data(), sizeof word.value);
    std::memcpy(&word.care, care.data(), sizeof word.care);
  }
  piece_words_.push_back(word);
  for (std::size_t k = 0; k < count_; ++k)
    if (pairs_[k].first == pair.first && pairs_[k].second == pair.second && pairs_[k].distance == pair.distance &&
        pairs_[k].third == pair.third)
      return true;
  if (count_ == max_pairs) return false;
  pairs_[count_++] = pair;
  reach_ = std::max<std::size_t>(reach_, pair.third >= 0 ? 2 : pair.distance);
  return true;
}

void NameProbe::fill_tables() {
  tables_ = {};
  for (std::size_t k = 0; k < count_; ++k) {
    const BytePair& pair = pairs_[k];
    const auto bit = static_cast<std::uint8_t>(1u << k);
    std::array<int, table_reach + 1> wanted = {pair.first, -1, -1};
    if (pair.distance > 0 && pair.distance <= table_reach) wanted[pair.distance] = pair.second;
    if (pair.third >= 0) wanted[2] = pair.third;
    for (std::size_t offset = 0; offset <= table_reach; ++offset) {
      NibbleTable& table = tables_[offset];
      if (wanted[offset] < 0) { // any byte
        for (std::size_t n = 0; n < 16; ++n) {
          table.low[n] |= bit;
          table.high[n] |= bit;
        }
      } else {
        table.low[static_cast<unsigned>(wanted[offset]) & 15] |= bit;
        table.high[static_cast<unsigned>(wanted[offset]) >> 4] |= bit;
      }
    }
  }
}

bool NameProbe::starts_at(const char* p, const char* end) const {
  for (std::size_t k = 0; k < count_; ++k) {
    const BytePair& pair = pairs_[k];
    if (static_cast<unsigned char>(p[0]) == pair.first && end - p > pair.distance &&
        static_cast<unsigned char>(p[pair.distance]) == pair.second &&
        (pair.third < 0 || (end - p > 2 && static_cast<unsigned char>(p[2]) == pair.third)))
      return true;
  }
  return false;
}

bool NameProbe::verified(const char* p, const char* begin, const char* end, std::size_t& mask) const {
  mask = any_mask;
  for (std::uint32_t left = pieces_by_first_[static_cast<unsigned char>(p[0])]; left != 0; left &= left - 1) {
    const auto piece = static_cast<std::size_t>(std::countr_zero(left));
    const PairInPiece& found = pieces_[piece];
    if (const PieceWord& word = piece_words_[piece];
        word.care != 0 && static_cast<std::size_t>(p - begin) >= found.offset && end - (p - found.offset) >= 8) {
      // A piece of up to eight bytes, with eight bytes to read from its start:
      // its literal bytes, the pair's among them, compared at once.
      std::uint64_t bytes = 0;
      std::memcpy(&bytes, p - found.offset, sizeof bytes);
      if ((bytes ^ word.value) & word.care) continue;
      mask = found.mask;
      return true;
    }
    const BytePair& pair = found.pair;
    if (end - p <= pair.distance ||
        static_cast<unsigned char>(p[pair.distance]) != pair.second ||
        (pair.third >= 0 && (end - p <= 2 || static_cast<unsigned char>(p[2]) != pair.third)))
      continue;
    if (static_cast<std::size_t>(p - begin) < found.offset ||
        static_cast<std::size_t>(end - p) < found.piece.size() - found.offset)
      return true; // the piece would reach outside: no telling
    const char* start = p - found.offset;
    bool whole = true;
    for (std::size_t at = 0; at < found.piece.size() && whole; ++at)
      whole = found.piece[at] == '?' || found.piece[at] == start[at];
    if (whole) {
      mask = found.mask;
      return true;
    }
  }
  return false;
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
  several_ = positive_.size() + exclusions_.size() > 1;
  for (const CompiledMask& mask : positive_) {
    bool accepts_nothing = false;
    PairInPiece unused;
    mask.required_pair(unused, accepts_nothing);
    if (accepts_nothing) continue;
    const char last = mask.pattern().back();
    if (last == '*' || last == '?') last_byte_may_match_.fill(true);
    else last_byte_may_match_[static_cast<unsigned char>(last)] = true;
  }
  choose_probe();
  choose_star_free_rule();
}

void CompiledMaskList::choose_probe() {
  // The rarest pair of each mask; when that makes more pairs than are compared
  // one by one, pairs that the nibble tables look up all at once, at a cost
  // that does not grow with their number: rare adjacent bytes, which take two
  // tables, else the rarest three bytes within the tables' reach. A find whose
  // piece is not around it is passed over, so a pair that names hold more
  // often costs little.
  enum class Kind { anywhere, rare_adjacent, window };
  const auto choose = [&](Kind kind) {
    probe_ = NameProbe();
    has_probe_ = true;
    for (std::size_t k = 0; k < positive_.size(); ++k) {
      PairInPiece found;
      bool accepts_nothing = false;
      if (positive_[k].required_pair(found, accepts_nothing, kind == Kind::window, kind == Kind::rare_adjacent)) {
        found.mask = k;
        if (!probe_.add(found)) has_probe_ = false;
      } else if (!accepts_nothing) {
        has_probe_ = false;
      }
    }
  };
  choose(Kind::anywhere);
  if (has_probe_ && probe_.size() > NameProbe::pairs_compared_alone) {
    const NameProbe pairs = probe_;
    choose(Kind::rare_adjacent);
    if (!has_probe_) choose(Kind::window);
    if (!has_probe_) { // a mask without one: the pairs, compared one by one
      probe_ = pairs;
      has_probe_ = true;
    }
  }
  probe_.fill_tables();
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

bool CompiledMaskList::excluded(std::string_view name, std::uint64_t held) const {
  for (const CompiledMask& mask : exclusions_)
    if ((mask.literal_bytes() & ~held) == 0 && mask.matches(name)) return true;
  return false;
}

} // namespace shelvo
