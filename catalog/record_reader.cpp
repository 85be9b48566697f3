// The record reader's state between records and the byte-at-a-time reference
// reading; the bulk reading is in record_reader_bulk.cpp.
#include "catalog/record_reader.h"

#include <algorithm>

#include "catalog/name_matching.h"
#include "catalog/record_lanes.h"
#include "catalog/record_reader_steps.h"

namespace shelvo {

RecordReader::RecordReader(RecordHandler& handler, bool enter_archives)
    : handler_(handler), enter_archives_(enter_archives) {
  // Reserved once so that the bounded buffers never reallocate while reading.
  directory_path_.reserve(max_directory_path);
  name_.reserve(max_record_name);
  archive_name_copy_.reserve(max_record_name);
  archive_path_.reserve(max_archive_path + 1);
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
  const auto* header = reinterpret_cast<const char*>(header_.data());
  const std::uint32_t length = little_endian_at(header);
  const std::uint32_t count = little_endian_at(header + 4);
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

void RecordReader::skipped(std::uint64_t count) {
  const std::uint64_t n = std::min(count, skip_left_);
  skip_left_ -= n;
  position_ += n;
  if (skip_left_ == 0 && mode_ == Mode::skipping) mode_ = Mode::expecting;
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
