#include "catalog/record_lanes.h"

#include <bit>
#include <cstring>

#include "catalog/vector_width.h"

namespace shelvo {

namespace {

// The note of the file record [start, start + length) whose tail lies inside
// the piece, its terminator found in the word of the zero map read at its start
// (so length < 64, and the words of the other maps read there cover the name):
// with no '*', a hit when the rule takes it (holding the chosen byte, by its
// map), its size counted.
template <LaneTally Tally>
[[gnu::always_inline]] inline std::uint64_t note_of(const char* bytes, const unsigned char* stars,
                                                    const unsigned char* chosen, std::size_t start,
                                                    std::size_t length) {
  const std::uint64_t name_bits = (std::uint64_t{1} << length) - 1;
  if (__builtin_expect((map_bits(stars, start) & name_bits) != 0, 0)) return LaneNote::unsettled_note;
  const std::uint64_t note = std::uint64_t{1} << LaneNote::hit_shift | size_in_tail(bytes + start + length + 1);
  if constexpr (Tally == LaneTally::names_holding_byte) return (map_bits(chosen, start) & name_bits) != 0 ? note : 0;
  return note;
}

// Processors with AVX2 have the bit instructions of BMI1 and BMI2 too, which
// shift a map's word as it is loaded and count its zeros in one step.
bool has_bit_instructions() {
#if defined(SHELVO_X86_VECTORS)
  static const bool bmi = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  return bmi && vector_width() >= VectorWidth::avx2;
#else
  return false;
#endif
}

} // namespace

RecordLanes::RecordLanes() : records_(2 * walk_lanes * lane_stride), marks_(walk_lanes * lane_capacity) {}

void RecordLanes::walk(const RecordSteps& steps, std::size_t count, LaneTally tally, const unsigned char* stars,
                       const unsigned char* chosen) {
  const bool bmi = has_bit_instructions();
  switch (tally) {
  case LaneTally::none:
    return bmi ? walk_with_bit_instructions<LaneTally::none>(steps, count, stars, chosen)
               : walk_with<LaneTally::none>(steps, count, stars, chosen);
  case LaneTally::every_name:
    return bmi ? walk_with_bit_instructions<LaneTally::every_name>(steps, count, stars, chosen)
               : walk_with<LaneTally::every_name>(steps, count, stars, chosen);
  case LaneTally::names_holding_byte:
    return bmi ? walk_with_bit_instructions<LaneTally::names_holding_byte>(steps, count, stars, chosen)
               : walk_with<LaneTally::names_holding_byte>(steps, count, stars, chosen);
  }
}

template <LaneTally Tally>
void RecordLanes::walk_with(const RecordSteps& steps, std::size_t count, const unsigned char* stars,
                            const unsigned char* chosen) {
  walk_lanes_of<Tally>(steps, count, stars, chosen);
}

#if defined(SHELVO_X86_VECTORS)
template <LaneTally Tally>
__attribute__((target("bmi,bmi2"))) void RecordLanes::walk_with_bit_instructions(const RecordSteps& steps,
                                                                                 std::size_t count,
                                                                                 const unsigned char* stars,
                                                                                 const unsigned char* chosen) {
  walk_lanes_of<Tally>(steps, count, stars, chosen);
}
#else
template <LaneTally Tally>
void RecordLanes::walk_with_bit_instructions(const RecordSteps& steps, std::size_t count,
                                             const unsigned char* stars, const unsigned char* chosen) {
  walk_lanes_of<Tally>(steps, count, stars, chosen);
}
#endif

template <LaneTally Tally>
[[gnu::always_inline]] inline void RecordLanes::walk_lanes_of(const RecordSteps& steps, std::size_t count,
                                                              const unsigned char* stars,
                                                              const unsigned char* chosen) {
  // The lanes in turn, one record each, so that their loads overlap. A lane's
  // position and output are locals, so that they live in registers; records
  // other than files, and the ends of lanes, take the slower path.
  const char* const bytes = steps.bytes();
  const unsigned char* const zeros = steps.map();
  const std::size_t size = steps.size();
  std::array<std::uint64_t*, walk_lanes> bases{};
  for (std::size_t k = 0; k < walk_lanes; ++k) bases[k] = records_.data() + k * lane_stride + 1;
  // A file record whose tail runs past the piece leaves the lane at once (its
  // next position is past the end, beyond every stop); the caller takes it back.
  // Its note is not made: the tail that the note would read is not there.
  auto file_step = [&](std::size_t& position, std::uint64_t*& out) __attribute__((always_inline)) {
    if (static_cast<unsigned char>(bytes[position]) < 2) return false;
    *out = position;
    const std::uint64_t zero_bits = map_bits(zeros, position);
    std::size_t nul = 0;
    if constexpr (Tally == LaneTally::none) {
      nul = __builtin_expect(zero_bits != 0, 1) ? position + bit_index(zero_bits) : steps.next_zero(position);
    } else {
      const bool short_name = __builtin_expect(zero_bits != 0, 1);
      nul = short_name ? position + bit_index(zero_bits) : steps.next_zero(position);
      if (__builtin_expect(nul + file_record_overhead <= size, 1)) {
        // A name too long for one word of the maps is left unsettled.
        const std::uint64_t note =
            short_name ? note_of<Tally>(bytes, stars, chosen, position, nul - position) : LaneNote::unsettled_note;
        out[notes_after_starts] = out[notes_after_starts - 1] + note;
      }
    }
    ++out;
    position = nul + file_record_overhead; // after the terminator and the tail
    return true;
  };
  // A mark: a directory record, or an archive header (as next_other reads them).
  auto mark = [&](std::size_t k, std::uint64_t*& out, std::size_t position) __attribute__((always_inline)) {
    marks_[k * lane_capacity + lanes_[k].marks++] = static_cast<std::uint16_t>(out - bases[k]);
    if (Tally != LaneTally::none) out[notes_after_starts] = out[notes_after_starts - 1]; // nothing to count
    *out++ = position;
  };
  // Out of line and by value, so that the lanes' locals need no address.
  struct Moved {
    std::size_t position;
    std::uint64_t* out;
  };
  auto other_step = [&](std::size_t k, std::size_t position, std::uint64_t* out) __attribute__((noinline)) {
    Lane& lane = lanes_[k];
    // Not a file record (file_step took those), unless the record ran past
    // the piece, which next_other also refuses.
    const std::size_t next = steps.next_other(position);
    if (next != no_record) {
      mark(k, out, position);
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
  auto step = [&](std::size_t k, std::size_t& position, std::uint64_t*& out) __attribute__((always_inline)) {
    if (file_step(position, out)) return;
    const Moved moved = other_step(k, position, out);
    position = moved.position;
    out = moved.out;
  };
  auto run_lane = [&](std::size_t k, std::size_t& position, std::uint64_t*& out) __attribute__((always_inline)) {
    while (position < lanes_[k].stop) step(k, position, out);
  };
  std::size_t a = lanes_[0].at, b = lanes_[1].at, c = lanes_[2].at, d = lanes_[3].at;
  std::uint64_t *out_a = bases[0], *out_b = bases[1], *out_c = bases[2], *out_d = bases[3];
  static_assert(walk_lanes == 4, "the lanes below are written out");
  if (count == walk_lanes) {
    const std::size_t stop_a = lanes_[0].stop, stop_b = lanes_[1].stop, stop_c = lanes_[2].stop,
                      stop_d = lanes_[3].stop;
    while ((a < stop_a) & (b < stop_b) & (c < stop_c) & (d < stop_d)) {
      step(0, a, out_a);
      step(1, b, out_b);
      step(2, c, out_c);
      step(3, d, out_d);
    }
    if (!lanes_[0].stuck) { // else the walk stops where lane 0 did
      run_lane(1, b, out_b);
      run_lane(2, c, out_c);
      run_lane(3, d, out_d);
    }
  }
  run_lane(0, a, out_a);
  const std::array<std::size_t, walk_lanes> positions = {a, b, c, d};
  const std::array<std::uint64_t*, walk_lanes> outs = {out_a, out_b, out_c, out_d};
  for (std::size_t k = 0; k < count; ++k) {
    Lane& lane = lanes_[k];
    lane.count = static_cast<std::size_t>(outs[k] - bases[k]);
    if (lane.stuck) continue;
    lane.at = positions[k];
    if (lane.at > size) { // the last record does not end inside the piece
      lane.at = static_cast<std::size_t>(bases[k][--lane.count]);
      lane.stuck = true;
    }
  }
}

} // namespace shelvo
