// The frame shared by the four archive readers: the archive stream with its
// signature search, and the member bookkeeping of one archive block. Each reader
// (archive_arj.cpp, archive_zip.cpp, archive_lzh.cpp, archive_rar.cpp) only
// parses its headers and steps from one to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_access.h"

namespace shelvo {

// An archive opened for reading, with its length known up front so that every
// step can be checked against the end before it is taken. Positions are 64-bit
// and never negative. Moving costs nothing; the file is read through a window,
// so that stepping from header to header costs few system calls.
class ArchiveStream {
public:
  explicit ArchiveStream(WindowedFile file) : file_(std::move(file)) {}

  std::uint64_t size() const { return file_.size(); }
  std::uint64_t position() const { return position_; }
  // Moves to an absolute position; false (and the stream left where it was)
  // when the position lies beyond the end of the archive.
  bool seek_to(std::uint64_t position);
  // Reads up to out.size() bytes; the count read, 0 at the end.
  std::size_t read(std::span<char> out);
  // Reads exactly out.size() bytes at position and stands after them; false
  // when the archive is shorter.
  bool read_at(std::uint64_t position, std::span<char> out);

private:
  WindowedFile file_;
  std::uint64_t position_ = 0;
};

// Searches forward from the current position for signature. Returns 1 with the
// stream on the byte right after the first match, 0 when the end comes first.
// A match may overlap a partial one ("PKPK\3\4" finds the header at offset 2).
int find_signature(std::string_view signature, ArchiveStream& stream);

// Reads a field of element_size * element_count bytes into buffer (which holds
// at least limit bytes). A field longer than limit is cut to limit bytes, "*" is
// written to the announcement stream and the rest of the field is skipped.
// Returns the number of bytes read.
std::size_t read_field(std::span<char> buffer, std::size_t element_size, std::size_t element_count,
                       ArchiveStream& stream, std::size_t limit);

// What the announcements and the overflow mark are written to (may be nullptr).
std::FILE* announcement_stream();

// One archive block being written: counts, and where broken headers are logged.
class ArchiveFrame {
public:
  ArchiveFrame(ArchiveStream& archive_stream, File& volume_file, std::string_view path, std::string_view word)
      : archive(archive_stream), volume(volume_file), logged_path(path), format_word(word) {}

  // Handles one member header: a name field (it ends at its first zero byte),
  // the uncompressed size, the DOS date-time (date high, time low) and whether
  // the header's other values are plausible. Records the member, reports the
  // header as broken (implausible values, a character no name can hold), or
  // skips it silently when its last path component is empty.
  void take_member(std::string_view name_field, std::uint64_t size, std::uint32_t dos_date_time, bool plausible);
  // Counts a broken header and appends its line to the broken-archive log.
  void report_broken();

  // Writes the archive block: its opening, the member records, and its counts
  // in place of the placeholders.
  void close_block();

  ArchiveStream& archive;
  File& volume;
  std::string_view logged_path;
  std::string_view format_word;
  std::uint32_t block_length = 0; // bytes of member records written
  std::uint32_t member_count = 0;

private:
  void write_record(std::string_view record);
  // The member records, held until the block is closed so that the block goes
  // out in one piece with its counts already in place; a block too large to hold
  // goes out as it grows, after the opening with its placeholders.
  std::string held_;
  std::int64_t after_opening_ = -1; // where the records begin once the opening is written
};

// The member loops. Each starts where the recognition left the stream and
// returns when the archive ends or cannot be read further; a damaged header
// never makes a loop step backwards or stand still.
void read_arj_members(ArchiveFrame& frame);
void read_zip_members(ArchiveFrame& frame);
void read_lzh_members(ArchiveFrame& frame);
void read_rar_members(ArchiveFrame& frame);

// The longest name field a member header may give: a recorded name holds at
// most this many characters less one.
constexpr std::size_t name_field_limit = 301;
constexpr std::size_t recorded_name_limit = 300;

} // namespace shelvo
