// The steps of the record reader that run for every record, shared by the
// byte-at-a-time reference (record_reader.cpp) and the bulk reading
// (record_reader_bulk.cpp) and inlined into both. Only those two include this.
#pragma once

#include <algorithm>

#include "catalog/byte_maps.h"
#include "catalog/record_reader.h"

namespace shelvo {

// Zero count at which a run of 0x00 has become a directory marker.
constexpr int directory_marker_count = 9;

inline void RecordReader::begin_name(std::uint64_t position) {
  // A member can only start inside its block's length.
  if (remaining_members_ > 0 && position >= block_end_) remaining_members_ = 0;
}

inline void RecordReader::finish_file_record(std::string_view name, const unsigned char* tail) {
  last_name_ = name;
  const bool member = remaining_members_ > 0;
  if (!handler_.name_filter || handler_.name_filter->matches(name)) report_file(name, tail, member);
  if (member) --remaining_members_;
}

inline void RecordReader::report_file(std::string_view name, const unsigned char* tail, bool member) {
  if (handler_.tally && handler_.name_filter) {
    RecordTally& tally = *handler_.tally;
    (member ? tally.members : tally.files) += 1;
    (member ? tally.member_bytes : tally.file_bytes) += size_in_tail(reinterpret_cast<const char*>(tail));
    return;
  }
  handler_.file_record(name, RecordTail(tail, record_tail_length), member ? archive_path() : directory_, member);
}

inline void RecordReader::finish_directory_record(std::string_view path, const char* piece_end) {
  set_directory(path);
  report_directory(path, piece_end);
  zero_count_ = 1;
  mode_ = Mode::expecting;
}

inline void RecordReader::set_directory(std::string_view path) {
  remaining_members_ = 0; // members never hold a directory record: the block is over
  directory_ = path;
  directory_in_piece_ = path.data() != directory_path_.data();
}

inline void RecordReader::take_file_record(const char* record, const char* nul, const char* end,
                                           std::uint64_t position) {
  begin_name(position);
  const std::string_view name(record, std::min(static_cast<std::size_t>(nul - record), max_record_name));
  const bool member = remaining_members_ > 0;
  const CompiledMaskList* filter = handler_.name_filter;
  if (!filter || (names_.may_match(*filter, record, nul, end) && filter->matches(name, names_.likeliest_mask())))
    report_file(name, reinterpret_cast<const unsigned char*>(nul + 1), member);
  if (member) --remaining_members_;
  last_name_ = name;
  last_name_in_piece_ = true;
}

} // namespace shelvo
