// The record reader's bulk reading: a piece's bytes scanned once into maps,
// then its whole records walked from terminator to terminator by the lanes, the
// names between the probe's finds passed over, and a record cut by the piece's
// end read on byte by byte.
#include "catalog/record_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "catalog/byte_maps.h"
#include "catalog/byte_scan.h"
#include "catalog/name_matching.h"
#include "catalog/name_tally.h"
#include "catalog/record_lanes.h"
#include "catalog/record_reader_steps.h"

namespace shelvo {

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
  scanned_for_ = PieceScanFilters{piece.data()};
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
    request.map_byte = names->star_free_rule() == StarFreeRule::names_holding_byte;
    request.byte = names->rule_byte();
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

  const CompiledMaskList* rule = scanned_for_.rule_of;
  const LaneTally tally = !rule                                                ? LaneTally::none
                          : rule->star_free_rule() == StarFreeRule::every_name ? LaneTally::every_name
                                                                               : LaneTally::names_holding_byte;
  while (at < size) {
    const std::size_t lane_count = directories && at >= one_lane_until_ && size - at >= walk_lanes * lane_bytes / 2
                                       ? walk_lanes
                                       : 1;
    const std::size_t window_end = std::min(size, at + lane_count * lane_bytes);
    const std::size_t stretch = (window_end - at) / lane_count;
    for (std::size_t k = 0; k < lane_count; ++k) {
      const std::size_t from = at + k * stretch;
      const std::size_t stop = k + 1 == lane_count ? window_end : from + stretch;
      lanes_[k] = Lane{k == 0 ? at : steps.guess(from, stop), stop};
    }
    lanes_.walk(steps, lane_count, tally, scan_.stars.data(), scan_.bytes.data());
    // The true walk, from `at`, takes each lane's records from where it meets
    // one, and reads on alone where it meets none.
    for (std::size_t k = 0; k < lane_count; ++k) {
      const Lane& lane = lanes_[k];
      const std::uint64_t* const starts = lanes_.starts(k);
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
  const std::uint64_t* const starts = lanes_.starts(lane);
  const std::uint16_t* const marked = lanes_.marks(lane);
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
      if (single > i)
        count_noted_names(bytes, base, starts + i, lanes_.notes(lane) + i, single - i, next_of(single - 1), *filter);
    } else if (filter && names_.probe_of(*filter)) {
      names_.may_match(*filter, bytes + starts[i], end, end);
      const auto hit = static_cast<std::size_t>(names_.hit() - bytes);
      // Marks that nobody need be told of pass with the file records before
      // the find: archive headers whose blocks are skipped, and directories
      // when no directory is reported or the probe would have found its leaf.
      const CompiledMaskList* const directories = handler_.directory_filter;
      const auto directories_pass = [&] {
        return directories && (!directories->can_match() || (directories == filter && directories->probe()));
      };
      std::size_t passed = mark;
      std::size_t last_directory = marks; // the last directory passed, among the marks
      for (; passed < marks && starts[marked[passed]] <= hit; ++passed) {
        const std::size_t at = starts[marked[passed]];
        if (bytes[at] == 0) {
          if (!directories_pass()) break;
          last_directory = passed;
        } else if (enter_archives_) {
          // A header is taken on its own: its count and its length decide
          // together which records are members, which a damaged volume can set
          // apart (a pass over the block by its count alone answered otherwise).
          break;
        }
      }
      single = passed < marks ? marked[passed] : count;
      // The find lies after the last mark passed (which may hold it), in a file
      // record before the next one.
      if (hit < (single < count ? starts[single] : after))
        single = record_holding(starts, passed > mark ? marked[passed - 1] : i, single, hit);
      // The last directory passed becomes the current one, unreported (but
      // for one that holds the find, which is taken on its own).
      if (last_directory < marks && marked[last_directory] == single)
        for (last_directory = marks; passed-- > mark;)
          if (marked[passed] < single && bytes[starts[marked[passed]]] == 0) {
            last_directory = passed;
            break;
          }
      if (last_directory < marks) {
        const std::size_t at = starts[marked[last_directory]];
        const std::string_view path(bytes + at + directory_marker_zeros,
                                    next_of(marked[last_directory]) - 1 - at - directory_marker_zeros);
        set_directory(path.substr(0, max_directory_path));
      }
    }
    if (single > i) {
      if (remaining_members_ > 0) {
        if (base + starts[single - 1] >= block_end_) remaining_members_ = 0;
        else remaining_members_ -= static_cast<std::uint32_t>(std::min<std::size_t>(remaining_members_, single - i));
      }
      // The name of the last file record passed over (marks passed are not
      // files), unless the next record taken is a file, whose name it becomes.
      std::size_t last = single - 1;
      while (last > i && static_cast<unsigned char>(bytes[starts[last]]) < 2) --last;
      if ((single == count || static_cast<unsigned char>(bytes[starts[single]]) < 2) &&
          static_cast<unsigned char>(bytes[starts[last]]) >= 2) {
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

void RecordReader::count_noted_names(const char* bytes, std::uint64_t base, const std::uint64_t* starts,
                                     const std::uint64_t* notes, std::size_t count, std::size_t after,
                                     const CompiledMaskList& filter) {
  // The first records of the run that are members, as begin_name would count them.
  std::size_t members = 0;
  if (remaining_members_ > 0) {
    while (members < count && members < remaining_members_ && base + starts[members] < block_end_) ++members;
  }
  // Each note adds to the one before (the one before the run is there too).
  const std::uint64_t* const before = notes - 1;
  const std::uint64_t member_notes = before[members] - before[0];
  const std::uint64_t file_notes = before[count] - before[members];
  RecordTally& tally = *handler_.tally;
  tally.members += LaneNote::hits(member_notes);
  tally.member_bytes += LaneNote::bytes(member_notes);
  tally.files += LaneNote::hits(file_notes);
  tally.file_bytes += LaneNote::bytes(file_notes);
  if (__builtin_expect(LaneNote::unsettled(member_notes | file_notes) == 0, 1)) return;
  const FileRun run{bytes, starts, notes, count, after, members};
  with_star_.clear();
  settle_names(run, scan_.stars.data(), filter.star_free_rule() == StarFreeRule::names_holding_byte,
               static_cast<char>(filter.rule_byte()), tally, with_star_);
  for (const std::size_t k : with_star_) {
    const std::size_t nul = static_cast<std::size_t>(k + 1 < count ? starts[k + 1] : after) - file_record_overhead;
    const std::string_view name(bytes + starts[k], std::min(nul - starts[k], max_record_name));
    if (filter.matches(name)) report_file(name, reinterpret_cast<const unsigned char*>(bytes + nul + 1), k < members);
  }
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

} // namespace shelvo
