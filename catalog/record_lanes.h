// The bulk walk from record to record over a piece of a volume file's record
// stream whose zero bytes are mapped (byte_scan.h). Stepping from one record to
// the next cannot look for a terminator before the previous one is found, so
// it waits on every step; several lanes, each walking its own stretch of the
// piece from a guessed record start, keep the processor busy. A lane's records
// count only from where the true walk meets one of them, since from the same
// record start the same records follow: the record reader decides that.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "catalog/byte_maps.h"
#include "catalog/catalog_store.h"
#include "catalog/vector_width.h"

namespace shelvo {

constexpr std::size_t no_record = ~std::size_t{0};
// The bulk reader's unit; larger feeds are read in pieces of this size.
constexpr std::size_t max_piece = 256 * 1024;
constexpr std::size_t directory_marker_zeros = 8; // from a zero count of 1

inline std::uint32_t little_endian_at(const char* bytes) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
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
    const std::size_t next = next_zero(at) + file_record_overhead; // after the terminator and the tail
    if (__builtin_expect(next > size_, 0)) return no_record;
    return next;
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
      if (word != 0) return at + bit_index(word); // never past size
      at = at / 8 * 8 + 64;
    }
  }

  const char* bytes() const { return bytes_; }
  std::size_t size() const { return size_; }
  const unsigned char* map() const { return map_; }
  bool enters_archives() const { return enter_archives_; }
  bool walks_directories() const { return directories_; }

private:
  const char* bytes_;
  std::size_t size_;
  const unsigned char* map_;
  bool enter_archives_;
  bool directories_;
};

// The lanes of one window of a piece: up to walk_lanes stretches of lane_bytes.
constexpr std::size_t walk_lanes = 4;
constexpr std::size_t lane_bytes = 4096;
constexpr std::size_t smallest_record = 9; // a directory record of the root, an archive header
// A lane's record starts lie in its stretch of at most lane_bytes + 3 bytes, each
// at least smallest_record after the one before.
constexpr std::size_t lane_capacity = lane_bytes / smallest_record + 4;
// A lane's place in the store: its records after one slot that stays 0 among
// the notes, since each note adds to the one before.
constexpr std::size_t lane_stride = lane_capacity + 1;
// A guessed lane that stops within its first records started inside a record's
// tail; it tries again from a later guess.
constexpr std::size_t lane_retry_records = 8;

// What a lane notes of each file record besides its start, for a search that
// counts the names a mask list's shortcut takes without looking at its masks
// (CompiledMaskList::star_free_rule): every name without a '*', or those of
// them holding one byte.
enum class LaneTally { none, every_name, names_holding_byte };

// The notes of a lane's records, each the sum of its own and the one before:
// the note of a run of records is the difference of the notes around it, its
// hits(), bytes() and unsettled() those of the run. A file record's own note
// holds the size of a hit and one hit, or marks it unsettled: a name of more
// than 56 bytes (more than one word of the maps), or one that holds a '*';
// other records add nothing. Over the
// at most lane_capacity records of a lane no field runs into the next.
struct LaneNote {
  static constexpr int hit_shift = 40;       // the sizes of hits below: 31 bits, 459 of them
  static constexpr int unsettled_shift = 50; // hits below: 459 at most
  static std::uint64_t hits(std::uint64_t note) { return note >> hit_shift & 1023; }
  static std::uint64_t bytes(std::uint64_t note) { return note & ((std::uint64_t{1} << hit_shift) - 1); }
  static std::uint64_t unsettled(std::uint64_t note) { return note >> unsettled_shift; }
  static constexpr std::uint64_t unsettled_note = std::uint64_t{1} << unsettled_shift;
};

struct Lane {
  std::size_t at = 0;    // next record start to read; after the walk, the one after its last record
  std::size_t stop = 0;  // the lane ends at the first record start at or past it
  std::size_t count = 0; // records walked
  std::size_t marks = 0; // records not of a file among them
  bool stuck = false;    // stopped at a record that the byte-by-byte rules must read
};

class RecordLanes {
public:
  RecordLanes();

  // Walks lanes 0 to count - 1, each from its `at` (set, with its stop, by the
  // caller) up to its stop, noting each record's start and, with a tally, each
  // file record's note, by the piece's maps of '*' and of the rule's byte
  // (byte_scan.h); the lanes after a stuck lane 0 are not walked.
  void walk(const RecordSteps& steps, std::size_t count, LaneTally tally, const unsigned char* stars,
            const unsigned char* chosen);

  Lane& operator[](std::size_t k) { return lanes_[k]; }
  // The offsets of the records lane k walked, ascending.
  const std::uint64_t* starts(std::size_t k) const { return records_.data() + k * lane_stride + 1; }
  // The indices, among the starts, of the records that are not of a file.
  const std::uint16_t* marks(std::size_t k) const { return marks_.data() + k * lane_capacity; }
  // The notes, by the same index as the starts, the one before the first 0
  // (only when walked with a tally).
  const std::uint64_t* notes(std::size_t k) const { return starts(k) + notes_after_starts; }

private:
  template <LaneTally Tally>
  void walk_with(const RecordSteps& steps, std::size_t count, const unsigned char* stars,
                 const unsigned char* chosen);
  // The same compiled for processors with the bit instructions of BMI1 and BMI2.
  template <LaneTally Tally>
#if defined(SHELVO_X86_VECTORS)
  __attribute__((target("bmi,bmi2")))
#endif
  void walk_with_bit_instructions(const RecordSteps& steps, std::size_t count, const unsigned char* stars,
                                  const unsigned char* chosen);
  template <LaneTally Tally>
  void walk_lanes_of(const RecordSteps& steps, std::size_t count, const unsigned char* stars,
                     const unsigned char* chosen);

  // The starts of every lane, then the notes in the same order: a lane writes
  // a record's note at a fixed distance from its start.
  static constexpr std::size_t notes_after_starts = walk_lanes * lane_stride;
  std::array<Lane, walk_lanes> lanes_;
  std::vector<std::uint64_t> records_;
  std::vector<std::uint16_t> marks_;
};

} // namespace shelvo
