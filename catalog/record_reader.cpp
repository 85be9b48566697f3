#include "catalog/record_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "catalog/byte_scan.h"

namespace shelvo {

namespace {

std::uint32_t little_endian_at(const std::array<unsigned char, 8>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint32_t little_endian_at(const char* bytes) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
}

// Zero count at which a run of 0x00 has become a directory marker.
constexpr int directory_marker_count = 9;
constexpr std::size_t directory_marker_zeros = 8; // from a zero count of 1

// The bulk reader's unit; larger feeds are read in pieces of this size.
constexpr std::size_t max_piece = 256 * 1024;

// The walk from one record to the next cannot look for a terminator before the
// previous one is found, so it waits on every step. Several lanes, each walking
// its own stretch of the piece from a guessed record start, keep the processor
// busy; a lane's records count only from where the true walk meets one of them,
// since from the same record start the same records follow.
constexpr std::size_t walk_lanes = 4;
constexpr std::size_t lane_bytes = 4096;
constexpr std::size_t smallest_record = 9; // a directory record of the root, an archive header
// A lane's record starts lie in its stretch of at most lane_bytes + 3 bytes, each
// at least smallest_record after the one before.
constexpr std::size_t lane_capacity = lane_bytes / smallest_record + 4;
// A guessed lane that stops within its first records started inside a record's
// tail; it tries again from a later guess.
constexpr std::size_t lane_retry_records = 8;
constexpr std::size_t no_record = ~std::size_t{0};

// The last k in [first, end) with starts[k] <= offset, where starts[first] <=
// offset: the record that holds it. Without branches, whose outcome no
// processor could guess.
std::size_t record_holding(const std::size_t* starts, std::size_t first, std::size_t end, std::size_t offset) {
  std::size_t length = end - first;
  while (length > 1) {
    const std::size_t half = length / 2;
    first = starts[first + half] <= offset ? first + half : first;
    length -= half;
  }
  return first;
}

// 57 or more bits of a map from bit `from` on.
[[gnu::always_inline]] inline std::uint64_t map_bits(const unsigned char* map, std::size_t from) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, map + from / 8, sizeof word);
  } else {
    for (std::size_t k = 0; k < 8; ++k) word |= static_cast<std::uint64_t>(map[from / 8 + k]) << (8 * k);
  }
  return word >> (from % 8);
}

// True when the bytes [text, text + length) hold `byte`, eight at a time from
// the end, where names hold the byte of "*.*" (their extension's dot).
[[gnu::always_inline]] inline bool holds_byte(const char* text, std::size_t length, char byte) {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  const std::uint64_t spread = ones * static_cast<unsigned char>(byte);
  for (; length >= 8; length -= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text + length - 8, sizeof word);
    word ^= spread; // a zero byte where `byte` was
    if ((word - ones) & ~word & highs) return true;
  }
  for (std::size_t k = 0; k < length; ++k)
    if (text[k] == byte) return true;
  return false;
}

// True when one of the `count` bits of the map from bit `from` on is set.
[[gnu::always_inline]] inline bool any_bit(const unsigned char* map, std::size_t from, std::size_t count) {
  constexpr std::size_t at_once = 56;
  for (; count > at_once; count -= at_once, from += at_once)
    if (map_bits(map, from) & ((std::uint64_t{1} << at_once) - 1)) return true;
  return (map_bits(map, from) & ((std::uint64_t{1} << count) - 1)) != 0;
}

// What the bytes alone tell of records that begin with the zero count at 1, as it
// stands after every whole record.
class RecordSteps {
public:
  RecordSteps(std::span<const char> piece, const std::vector<unsigned char>& map, bool enter_archives,
              bool directories)
      : bytes_(piece.data()), size_(piece.size()), map_(map.data()), enter_archives_(enter_archives),
        directories_(directories) {}

  // The offset of the record after the one at `at` (at < size), or no_record when
  // that record does not end inside the piece, or is left to the byte-by-byte
  // rules: a run of fewer than eight zeros (which raises the zero count), or any
  // zero when directories are not walked.
  [[gnu::always_inline]] std::size_t next(std::size_t at) const {
    return static_cast<unsigned char>(bytes_[at]) >= 2 ? next_file(at) : next_other(at);
  }
  // The same for a record known to be a file record.
  [[gnu::always_inline]] std::size_t next_file(std::size_t at) const {
    const std::size_t nul = next_zero(at);
    if (__builtin_expect(size_ - nul <= record_tail_length, 0)) return no_record;
    return nul + 1 + record_tail_length;
  }
  // The same for a directory record or an archive header.
  [[gnu::always_inline]] std::size_t next_other(std::size_t at) const {
    if (size_ - at <= 8) return no_record;
    if (bytes_[at] == 1) {
      if (enter_archives_) return at + 9;
      const std::uint32_t length = little_endian_at(bytes_ + at + 1);
      return length <= size_ - at - 9 ? at + 9 + length : no_record;
    }
    if (!directories_ || (bits(at) & 0xFF) != 0xFF) return no_record;
    const std::size_t nul = next_zero(at + directory_marker_zeros);
    return nul < size_ ? nul + 1 : no_record;
  }

  // A likely record start in [at, stop): a byte of 2 or more after a zero (every
  // record ends in one); stop when there is none.
  std::size_t guess(std::size_t at, std::size_t stop) const {
    for (std::size_t zero = next_zero(at - 1); zero + 1 < stop; zero = next_zero(zero + 1)) {
      if (static_cast<unsigned char>(bytes_[zero + 1]) >= 2) return zero + 1;
    }
    return stop;
  }

  // 57 or more bits of the map from bit `at` on.
  [[gnu::always_inline]] std::uint64_t bits(std::size_t at) const { return map_bits(map_, at); }
  // The first zero at or after `at` (at <= size), or size.
  [[gnu::always_inline]] std::size_t next_zero(std::size_t at) const {
    for (;;) {
      const std::uint64_t word = bits(at);
      if (word != 0) return at + static_cast<std::size_t>(std::countr_zero(word)); // never past size
      at = at / 8 * 8 + 64;
    }
  }

private:
  const char* bytes_;
  std::size_t size_;
  const unsigned char* map_;
  bool enter_archives_;
  bool directories_;
};

} // namespace

RecordReader::RecordReader(RecordHandler& handler, bool enter_archives)
    : handler_(handler), enter_archives_(enter_archives) {
  // Reserved once so that the bounded buffers never reallocate while reading.
  directory_path_.reserve(max_directory_path);
  name_.reserve(max_record_name);
  archive_name_copy_.reserve(max_record_name);
  archive_path_.reserve(max_archive_path + 1);
  lane_starts_.resize(walk_lanes * lane_capacity);
  lane_marks_.resize(walk_lanes * lane_capacity);
  scan_.zeros.reserve(max_piece / 8 + 24);
}

void RecordReader::start_volume(unsigned char format) {
  mode_ = Mode::expecting;
  // In the older format the first zero byte of the root record sits where the
  // format byte is now, and has been read as one.
  zero_count_ = format == 0 ? 2 : 1;
  position_ = 0;
  directory_path_.clear();
  directory_ = directory_path_;
  directory_in_piece_ = false;
  name_.clear();
  last_name_ = {};
  tail_fill_ = 0;
  header_fill_ = 0;
  remaining_members_ = 0;
  block_end_ = 0;
  archive_name_copy_.clear();
  archive_name_ = archive_name_copy_;
  archive_name_in_piece_ = false;
  archive_path_.clear();
  archive_path_stale_ = false;
  skip_left_ = 0;
}

void RecordReader::resume_at_record(std::string_view directory, std::uint64_t position) {
  start_volume(1); // after a whole record the zero count stands at 1 in either format
  position_ = position;
  directory_path_.assign(directory.substr(0, max_directory_path));
  directory_ = directory_path_;
}

void RecordReader::append_limited(std::string& to, std::string_view bytes, std::size_t limit) {
  if (to.size() < limit) to.append(bytes.substr(0, limit - to.size()));
}

void RecordReader::start_directory_path() {
  // The path before is over: no record uses it until the new one is complete.
  directory_path_.clear();
  directory_ = directory_path_;
  directory_in_piece_ = false;
}

void RecordReader::finish_archive_header(std::uint64_t position_after) {
  const std::uint32_t length = little_endian_at(header_, 0);
  const std::uint32_t count = little_endian_at(header_, 4);
  mode_ = Mode::expecting;
  if (!enter_archives_) {
    skip_left_ = length;
    if (skip_left_ > 0) mode_ = Mode::skipping;
    return;
  }
  remaining_members_ = count;
  block_end_ = position_after + length;
  // The directory cannot change before the block ends, but the last name does: a
  // view into the piece is kept until the piece ends, a name of its own copied.
  if (last_name_in_piece_) {
    archive_name_ = last_name_;
    archive_name_in_piece_ = true;
  } else {
    archive_name_copy_.assign(last_name_);
    archive_name_ = archive_name_copy_;
    archive_name_in_piece_ = false;
  }
  archive_path_stale_ = true;
}

void RecordReader::report_directory(std::string_view path, const char* piece_end) {
  const CompiledMaskList* filter = handler_.directory_filter;
  if (!filter) {
    handler_.directory_record(path);
    return;
  }
  if (!filter->can_match()) return;
  const Settled settled =
      piece_end && filter == scanned_for_.rule_of ? leaf_by_rule(path, *filter) : Settled::not_by_rule;
  if (settled == Settled::rejected) return;
  if (settled == Settled::not_by_rule) {
    // A path in the piece is followed by its terminator there (a cut one by more
    // bytes), so the probe may look at it in place: the whole path first, which
    // settles most directories before their leaf is looked for.
    ProbeCursor& cursor = filter == handler_.name_filter ? names_ : directories_;
    const char* const path_end = path.data() + path.size();
    if (piece_end && !cursor.may_match(*filter, path.data(), path_end, piece_end)) return;
    const std::string_view leaf = path.substr(leaf_of(path));
    if (piece_end && !cursor.may_match(*filter, leaf.data(), path_end, piece_end)) return;
    if (!filter->matches(leaf)) return;
  }
  if (handler_.tally) ++handler_.tally->directories;
  else handler_.directory_record(path);
}

const std::string& RecordReader::archive_path() {
  if (archive_path_stale_) {
    archive_path_.assign(directory_.substr(0, max_archive_path));
    if (archive_path_.empty() || archive_path_.back() != '\\') append_limited(archive_path_, "\\", max_archive_path);
    append_limited(archive_path_, archive_name_, max_archive_path);
    archive_path_stale_ = false;
  }
  return archive_path_;
}

RecordReader::Settled RecordReader::leaf_by_rule(std::string_view path, const CompiledMaskList& filter) const {
  const auto offset = static_cast<std::size_t>(path.data() - scanned_for_.piece);
  // A path without a '*' has a leaf without one; the rule's byte is looked for
  // in the leaf alone.
  if (any_bit(scan_.stars.data(), offset, path.size())) return Settled::not_by_rule;
  if (filter.star_free_rule() == StarFreeRule::every_name) return Settled::accepted;
  const std::size_t leaf = leaf_of(path);
  return holds_byte(path.data() + leaf, path.size() - leaf, static_cast<char>(filter.rule_byte()))
             ? Settled::accepted
             : Settled::rejected;
}

void RecordReader::scan(std::span<const char> piece, std::size_t at) {
  PieceScanRequest request;
  scanned_for_ = ScannedFor{piece.data()};
  const auto has_pairs = [](const CompiledMaskList* filter) {
    return filter && filter->probe() && filter->probe()->size() > 0;
  };
  const CompiledMaskList* names = handler_.name_filter;
  const CompiledMaskList* listed = has_pairs(names) ? names : handler_.directory_filter;
  if (has_pairs(listed)) {
    request.probe = listed->probe();
    scanned_for_.pairs_of = listed;
  } else if (names && handler_.tally && names->star_free_rule() != StarFreeRule::none) {
    request.map_stars = true;
    scanned_for_.rule_of = names;
  }
  scan_piece(piece, at / 64 * 64, request, scan_);
  scanned_ = true;
}

void RecordReader::take_record(std::span<const char> piece, std::size_t at, std::size_t next, std::uint64_t base) {
  const char* const record = piece.data() + at;
  const auto first = static_cast<unsigned char>(*record);
  if (first >= 2) {
    take_file_record(record, piece.data() + next - 1 - record_tail_length, piece.data() + piece.size(), base + at);
  } else if (first == 1) {
    std::copy_n(reinterpret_cast<const unsigned char*>(record + 1), header_.size(), header_.begin());
    finish_archive_header(base + at + 1 + header_.size());
    // Without archives the walk has passed over the block already.
    skip_left_ = 0;
    mode_ = Mode::expecting;
  } else {
    // A view, copied only if it is still the current path when the piece ends.
    const std::string_view path(record + directory_marker_zeros, next - 1 - at - directory_marker_zeros);
    finish_directory_record(path.substr(0, max_directory_path), piece.data() + piece.size());
  }
}

std::size_t RecordReader::walk_records(std::span<const char> piece, std::size_t at, std::uint64_t base) {
  if (!scanned_) scan(piece, at);
  // With the zero count above 1 (after stray zeros) a directory marker needs
  // fewer zeros; those records are left to the byte-by-byte rules, and the lanes,
  // which assume a count of 1, are not used.
  const bool directories = zero_count_ == 1;
  const RecordSteps steps(piece, scan_.zeros, enter_archives_, directories);
  const std::size_t size = piece.size();

  struct Lane {
    std::size_t at = 0;   // next record start to read
    std::size_t stop = 0; // the lane ends at the first record start at or past it
    std::size_t count = 0;
    std::size_t marks = 0; // records not of a file among them
    bool stuck = false;    // stopped at a record that the byte-by-byte rules must read
  };
  std::array<Lane, walk_lanes> lanes;

  while (at < size) {
    const std::size_t lane_count = directories && at >= one_lane_until_ && size - at >= walk_lanes * lane_bytes / 2
                                       ? walk_lanes
                                       : 1;
    const std::size_t window_end = std::min(size, at + lane_count * lane_bytes);
    const std::size_t stretch = (window_end - at) / lane_count;
    for (std::size_t k = 0; k < lane_count; ++k) {
      const std::size_t from = at + k * stretch;
      const std::size_t stop = k + 1 == lane_count ? window_end : from + stretch;
      lanes[k] = Lane{k == 0 ? at : steps.guess(from, stop), stop};
    }
    // The lanes in turn, one record each, so that their loads overlap. A lane's
    // position and output are locals, so that they live in registers; records
    // other than files, and the ends of lanes, take the slower path.
    const char* const bytes = piece.data();
    std::array<std::size_t*, walk_lanes> bases{};
    for (std::size_t k = 0; k < walk_lanes; ++k) bases[k] = lane_starts_.data() + k * lane_capacity;
    // A file record whose tail runs past the piece leaves the lane at once (its
    // next position is past the end, beyond every stop); it is taken back below.
    auto file_step = [&](std::size_t& position, std::size_t*& out) __attribute__((always_inline)) {
      if (static_cast<unsigned char>(bytes[position]) < 2) return false;
      *out++ = position;
      position = steps.next_zero(position) + 1 + record_tail_length;
      return true;
    };
    // Out of line and by value, so that the lanes' locals need no address.
    struct Moved {
      std::size_t position;
      std::size_t* out;
    };
    auto other_step = [&](std::size_t k, std::size_t position, std::size_t* out) __attribute__((noinline)) {
      Lane& lane = lanes[k];
      // Not a file record (file_step took those), unless the record ran past
      // the piece, which next_other also refuses.
      const std::size_t next = steps.next_other(position);
      if (next != no_record) {
        lane_marks_[k * lane_capacity + lane.marks++] = static_cast<std::uint16_t>(out - bases[k]);
        *out++ = position;
        return Moved{next, out};
      }
      if (k > 0 && static_cast<std::size_t>(out - bases[k]) < lane_retry_records) {
        lane.marks = 0;
        return Moved{steps.guess(position + 1, lane.stop), bases[k]};
      }
      lane.stuck = true;
      lane.at = position;
      return Moved{no_record, out}; // ends the lane
    };
    auto step = [&](std::size_t k, std::size_t& position, std::size_t*& out) __attribute__((always_inline)) {
      if (file_step(position, out)) return;
      const Moved moved = other_step(k, position, out);
      position = moved.position;
      out = moved.out;
    };
    auto run_lane = [&](std::size_t k, std::size_t& position, std::size_t*& out) {
      while (position < lanes[k].stop) step(k, position, out);
    };
    std::size_t a = lanes[0].at, b = lanes[1].at, c = lanes[2].at, d = lanes[3].at;
    std::size_t *out_a = bases[0], *out_b = bases[1], *out_c = bases[2], *out_d = bases[3];
    static_assert(walk_lanes == 4, "the lanes below are written out");
    if (lane_count == walk_lanes) {
      const std::size_t stop_a = lanes[0].stop, stop_b = lanes[1].stop, stop_c = lanes[2].stop,
                        stop_d = lanes[3].stop;
      while ((a < stop_a) & (b < stop_b) & (c < stop_c) & (d < stop_d)) {
        step(0, a, out_a);
        step(1, b, out_b);
        step(2, c, out_c);
        step(3, d, out_d);
      }
      if (!lanes[0].stuck) { // else the walk stops where lane 0 did
        run_lane(1, b, out_b);
        run_lane(2, c, out_c);
        run_lane(3, d, out_d);
      }
    }
    run_lane(0, a, out_a);
    const std::array<std::size_t, walk_lanes> positions = {a, b, c, d};
    const std::array<std::size_t*, walk_lanes> outs = {out_a, out_b, out_c, out_d};
    for (std::size_t k = 0; k < lane_count; ++k) {
      Lane& lane = lanes[k];
      lane.count = static_cast<std::size_t>(outs[k] - bases[k]);
      if (lane.stuck) continue;
      lane.at = positions[k];
      if (lane.at > size) { // the last record does not end inside the piece
        lane.at = bases[k][--lane.count];
        lane.stuck = true;
      }
    }
    // The true walk, from `at`, takes each lane's records from where it meets
    // one, and reads on alone where it meets none.
    for (std::size_t k = 0; k < lane_count; ++k) {
      const Lane& lane = lanes[k];
      const std::size_t* const starts = lane_starts_.data() + k * lane_capacity;
      std::size_t i = 0;
      bool met = false;
      while (at < lane.stop) {
        while (i < lane.count && starts[i] < at) ++i;
        if (i < lane.count && starts[i] == at) {
          met = true;
          break;
        }
        const std::size_t next = steps.next(at);
        if (next == no_record) {
          one_lane_until_ = at + walk_lanes * lane_bytes;
          return at;
        }
        take_record(piece, at, next, base);
        at = next;
      }
      if (!met) continue;
      take_lane_records(piece, base, k, i, lane.count, lane.marks, lane.at);
      at = lane.at;
      if (lane.stuck) {
        one_lane_until_ = at + walk_lanes * lane_bytes;
        return at;
      }
    }
  }
  return at;
}

void RecordReader::take_lane_records(std::span<const char> piece, std::uint64_t base, std::size_t lane,
                                     std::size_t from, std::size_t count, std::size_t marks, std::size_t after) {
  const std::size_t* const starts = lane_starts_.data() + lane * lane_capacity;
  const std::uint16_t* const marked = lane_marks_.data() + lane * lane_capacity;
  const char* const bytes = piece.data();
  const char* const end = bytes + piece.size();
  auto next_of = [&](std::size_t i) { return i + 1 < count ? starts[i + 1] : after; };
  std::size_t mark = 0;
  for (std::size_t i = from; i < count;) {
    while (mark < marks && marked[mark] < i) ++mark;
    // The next record to take on its own: one that is not a file, or the file
    // that holds the next find of the filter's probe. The file records before it
    // hold no find, so none is a hit: only the member count and the last name
    // change, and they are passed over at once.
    std::size_t single = i;
    const CompiledMaskList* filter = handler_.name_filter;
    if (filter && filter == scanned_for_.rule_of && handler_.tally) {
      // Names without a '*' settled by the filter's shortcut: counted in bulk.
      single = mark < marks ? marked[mark] : count;
      if (single > i) count_star_free_names(bytes, base, starts + i, single - i, next_of(single - 1), *filter);
    } else if (filter && names_.probe_of(*filter)) {
      names_.may_match(*filter, bytes + starts[i], end, end);
      const auto hit = static_cast<std::size_t>(names_.hit() - bytes);
      // Marks that nobody need be told of pass with the file records before
      // the find: archive headers that are skipped, and directories when no
      // directory is reported or the probe would have found its leaf.
      std::size_t passed = mark;
      while (passed < marks && starts[marked[passed]] <= hit && passable_mark(bytes, starts[marked[passed]], filter))
        ++passed;
      single = passed < marks ? marked[passed] : count;
      if (hit < (single < count ? starts[single] : after)) single = record_holding(starts, i, single, hit);
      // The last directory passed becomes the current one, unreported.
      for (std::size_t m = passed; m-- > mark;) {
        if (marked[m] < single && bytes[starts[marked[m]]] == 0) {
          const std::size_t at = starts[marked[m]];
          const std::string_view path(bytes + at + directory_marker_zeros, next_of(marked[m]) - 1 - at -
                                                                                directory_marker_zeros);
          set_directory(path.substr(0, max_directory_path));
          break;
        }
      }
    }
    if (single > i) {
      if (remaining_members_ > 0) {
        if (base + starts[single - 1] >= block_end_) remaining_members_ = 0;
        else remaining_members_ -= static_cast<std::uint32_t>(std::min<std::size_t>(remaining_members_, single - i));
      }
      // The name of the last file record passed over (marks passed are not files).
      std::size_t last = single - 1;
      while (last > i && static_cast<unsigned char>(bytes[starts[last]]) < 2) --last;
      if (static_cast<unsigned char>(bytes[starts[last]]) >= 2) {
        last_name_ = std::string_view(bytes + starts[last],
                                      std::min(next_of(last) - 1 - record_tail_length - starts[last], max_record_name));
        last_name_in_piece_ = true;
      }
    }
    if (single == count) break;
    const std::size_t record = starts[single];
    if (static_cast<unsigned char>(bytes[record]) >= 2) {
      take_file_record(bytes + record, bytes + next_of(single) - 1 - record_tail_length, end, base + record);
    } else {
      take_record(piece, record, next_of(single), base);
    }
    i = single + 1;
  }
}

void RecordReader::count_star_free_names(const char* bytes, std::uint64_t base, const std::size_t* starts,
                                         std::size_t count, std::size_t after, const CompiledMaskList& filter) {
  if (filter.star_free_rule() == StarFreeRule::names_holding_byte)
    count_names_by_rule<true>(bytes, base, starts, count, after, filter);
  else
    count_names_by_rule<false>(bytes, base, starts, count, after, filter);
}

template <bool HoldingByte>
void RecordReader::count_names_by_rule(const char* bytes, std::uint64_t base, const std::size_t* starts,
                                       std::size_t count, std::size_t after, const CompiledMaskList& filter) {
  // The first records of the run that are members, as begin_name would count them.
  std::size_t members = 0;
  if (remaining_members_ > 0) {
    while (members < count && members < remaining_members_ && base + starts[members] < block_end_) ++members;
  }
  const auto byte = static_cast<char>(filter.rule_byte());
  const unsigned char* const stars = scan_.stars.data();
  const auto* const tails = reinterpret_cast<const unsigned char*>(bytes);
  // In locals, not through the tally, so that the sums stay in registers.
  std::uint64_t files = 0, file_bytes = 0, member_count = 0, member_bytes = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t next = k + 1 < count ? starts[k + 1] : after;
    const std::size_t nul = next - 1 - record_tail_length;
    const std::size_t length = std::min(nul - starts[k], max_record_name);
    if (any_bit(stars, starts[k], length)) { // a name the masks themselves must decide
      const std::string_view name(bytes + starts[k], length);
      if (filter.matches(name)) report_file(name, tails + nul + 1, k < members);
      continue;
    }
    if (HoldingByte && !holds_byte(bytes + starts[k], length, byte)) continue;
    const std::uint32_t size = size_in_tail(tails + nul + 1);
    if (k < members) {
      ++member_count;
      member_bytes += size;
    } else {
      ++files;
      file_bytes += size;
    }
  }
  RecordTally& tally = *handler_.tally;
  tally.files += files;
  tally.file_bytes += file_bytes;
  tally.members += member_count;
  tally.member_bytes += member_bytes;
}

bool RecordReader::passable_mark(const char* bytes, std::size_t at, const CompiledMaskList* names) const {
  if (bytes[at] != 0) return !enter_archives_; // an archive header whose block was skipped
  const CompiledMaskList* directories = handler_.directory_filter;
  return directories && (!directories->can_match() || (directories == names && directories->probe()));
}

void RecordReader::skipped(std::uint64_t count) {
  const std::uint64_t n = std::min(count, skip_left_);
  skip_left_ -= n;
  position_ += n;
  if (skip_left_ == 0 && mode_ == Mode::skipping) mode_ = Mode::expecting;
}

void RecordReader::feed(std::span<const char> bytes) {
  while (bytes.size() > max_piece) {
    feed_piece(bytes.first(max_piece));
    bytes = bytes.subspan(max_piece);
  }
  if (!bytes.empty()) feed_piece(bytes);
}

void RecordReader::feed_piece(std::span<const char> piece) {
  const char* const begin = piece.data();
  const char* const end = begin + piece.size();
  const char* p = begin;
  const std::uint64_t base = position_;
  auto at = [&](const char* q) { return base + static_cast<std::uint64_t>(q - begin); };
  // Views and maps into the previous piece are gone.
  last_name_in_piece_ = false;
  scanned_ = false;
  one_lane_until_ = 0;
  names_.forget();
  directories_.forget();

  while (p < end) {
    switch (mode_) {
    case Mode::expecting: {
      // The common case: whole records inside the piece, walked in bulk.
      const std::size_t walked = walk_records(piece, static_cast<std::size_t>(p - begin), base);
      if (begin + walked != p) {
        p = begin + walked;
        break;
      }
      const auto b = static_cast<unsigned char>(*p);
      if (b >= 2) {
        begin_name(at(p));
        name_.clear(); // this name becomes the last one before any archive block
        last_name_in_piece_ = false;
        mode_ = Mode::name;
        break;
      }
      if (b == 1) {
        ++p;
        header_fill_ = 0;
        mode_ = Mode::archive_header;
        break;
      }
      const char* q = p;
      while (q < end && *q == 0 && zero_count_ < directory_marker_count) {
        ++zero_count_;
        ++q;
      }
      p = q;
      if (zero_count_ >= directory_marker_count) {
        start_directory_path();
        mode_ = Mode::directory_path;
      }
      break;
    }
    case Mode::name:
    case Mode::directory_path: {
      const char* nul = static_cast<const char*>(std::memchr(p, 0, static_cast<std::size_t>(end - p)));
      const char* stop = nul ? nul : end;
      const std::string_view run(p, static_cast<std::size_t>(stop - p));
      p = nul ? nul + 1 : end;
      if (mode_ == Mode::name) {
        append_limited(name_, run, max_record_name);
        if (nul) {
          tail_fill_ = 0;
          mode_ = Mode::tail;
        }
      } else {
        append_limited(directory_path_, run, max_directory_path);
        if (nul) finish_directory_record(directory_path_);
      }
      break;
    }
    case Mode::tail: {
      const auto n = std::min(record_tail_length - tail_fill_, static_cast<std::size_t>(end - p));
      for (std::size_t k = 0; k < n; ++k) tail_[tail_fill_ + k] = static_cast<unsigned char>(p[k]);
      tail_fill_ += n;
      p += n;
      if (tail_fill_ == record_tail_length) {
        finish_file_record(name_, tail_.data());
        last_name_in_piece_ = false;
        mode_ = Mode::expecting;
      }
      break;
    }
    case Mode::archive_header: {
      const auto n = std::min(header_.size() - header_fill_, static_cast<std::size_t>(end - p));
      for (std::size_t k = 0; k < n; ++k) header_[header_fill_ + k] = static_cast<unsigned char>(p[k]);
      header_fill_ += n;
      p += n;
      if (header_fill_ == header_.size()) finish_archive_header(at(p));
      break;
    }
    case Mode::skipping: {
      const auto available = static_cast<std::uint64_t>(end - p);
      const std::uint64_t n = std::min(skip_left_, available);
      skip_left_ -= n;
      p += n;
      if (skip_left_ == 0) mode_ = Mode::expecting;
      break;
    }
    }
  }
  position_ = at(end);
  // The current path and the last name (for an archive path) may be needed after
  // this piece is gone.
  if (directory_in_piece_) {
    directory_path_.assign(directory_);
    directory_ = directory_path_;
    directory_in_piece_ = false;
  }
  if (archive_name_in_piece_) {
    archive_name_copy_.assign(archive_name_);
    archive_name_ = archive_name_copy_;
    archive_name_in_piece_ = false;
  }
  if (last_name_in_piece_) {
    name_.assign(last_name_);
    last_name_ = name_;
    last_name_in_piece_ = false;
  }
}

void RecordReader::feed_bytewise(std::span<const char> bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    switch (mode_) {
    case Mode::expecting:
      if (b == 0) {
        if (++zero_count_ == directory_marker_count) {
          start_directory_path();
          mode_ = Mode::directory_path;
        }
      } else if (b == 1) {
        header_fill_ = 0;
        mode_ = Mode::archive_header;
      } else {
        begin_name(position_);
        name_.assign(1, c);
        mode_ = Mode::name;
      }
      break;
    case Mode::name:
      if (b != 0) {
        if (name_.size() < max_record_name) name_ += c;
      } else {
        tail_fill_ = 0;
        mode_ = Mode::tail;
      }
      break;
    case Mode::tail:
      tail_[tail_fill_++] = b;
      if (tail_fill_ == record_tail_length) {
        finish_file_record(name_, tail_.data());
        mode_ = Mode::expecting;
      }
      break;
    case Mode::directory_path:
      if (b != 0) {
        if (directory_path_.size() < max_directory_path) directory_path_ += c;
      } else {
        finish_directory_record(directory_path_);
      }
      break;
    case Mode::archive_header:
      header_[header_fill_++] = b;
      if (header_fill_ == header_.size()) finish_archive_header(position_ + 1);
      break;
    case Mode::skipping:
      if (--skip_left_ == 0) mode_ = Mode::expecting;
      break;
    }
    ++position_;
  }
}

} // namespace shelvo
