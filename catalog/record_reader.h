// The record reader of the search pass: turns the record stream of one volume
// file (everything after the format byte) into directory and file records, fed
// chunk by chunk, so that a record may span any number of chunks.
//
// Stream rules: at the start of a record a run of 0x00 counts towards a directory
// marker (the count starts at 1, or 2 in the older format whose first zero byte
// was taken as the format byte, and a directory path begins when it reaches 9);
// 0x01 opens an archive block (0x01, length and count little-endian); any other
// byte begins a name, followed by a 9-byte tail.
//
// Damaged files: a directory path is cut to 259 characters, a name to 267 and an
// archive path to 255; the bytes beyond are read and dropped, so the records that
// follow are found where they are. An archive block ends after its count of
// members, at the end of its length, or at the next directory record, whichever
// comes first, so a count that is too large never turns the files of the
// directory into members. A record cut short by the end of the file is dropped,
// and so is everything after an archive header or a skipped block that the file
// ends inside.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "catalog/search_mask.h"

namespace shelvo {

constexpr std::size_t max_directory_path = 259;
constexpr std::size_t max_record_name = 267;
constexpr std::size_t max_archive_path = 255;
constexpr std::size_t record_tail_length = 9; // size 4, date 2, time 2, end byte

using RecordTail = std::span<const unsigned char, record_tail_length>;

// What the reader reports. The views are valid only during the call.
class RecordHandler {
public:
  virtual ~RecordHandler() = default;
  // When set, file and member records whose names it rejects are not reported
  // (they still end an archive's members and name the next archive). A handler
  // that cares only about matching names sets it, and may change it between
  // records; this spares one call per record on large catalogs.
  const CompiledMaskList* name_filter = nullptr;

  // A directory record: its path as stored (empty also means the root).
  virtual void directory_record(std::string_view path) = 0;
  // A file record, or a member record when member is true. directory is the
  // current directory path, or for a member the archive path.
  virtual void file_record(std::string_view name, RecordTail tail, std::string_view directory, bool member) = 0;
};

class RecordReader {
public:
  // With enter_archives the members of archive blocks are read as records;
  // without it each block is skipped by its length.
  RecordReader(RecordHandler& handler, bool enter_archives);

  // Fresh state for the next volume; format is the byte after the label (0 when
  // the file has none).
  void start_volume(unsigned char format);

  // Feeds the next bytes of the stream, scanning in bulk.
  void feed(std::span<const char> bytes);
  // The same, one byte at a time exactly as the stream rules read; kept as the
  // reference that feed must equal on every input.
  void feed_bytewise(std::span<const char> bytes);

  // Bytes of a skipped archive block that lie beyond what was fed. The caller may
  // pass over them without reading (then calls skipped) or simply feed on.
  std::uint64_t pending_skip() const { return skip_left_; }
  void skipped(std::uint64_t count);

private:
  enum class Mode { expecting, name, tail, directory_path, archive_header, skipping };

  void begin_name(std::uint64_t position) {
    // A member can only start inside its block's length.
    if (remaining_members_ > 0 && position >= block_end_) remaining_members_ = 0;
  }
  void finish_file_record(std::string_view name, const unsigned char* tail) {
    last_name_ = name;
    const bool member = remaining_members_ > 0;
    if (!handler_.name_filter || handler_.name_filter->matches(name))
      handler_.file_record(name, RecordTail(tail, record_tail_length), member ? archive_path() : directory_path_,
                           member);
    if (member) --remaining_members_;
  }
  void finish_directory_record();
  const std::string& archive_path();
  // Reads the whole file records that follow one another from p, in place, and
  // returns the first byte not consumed (p itself when there is none).
  const char* scan_file_records(const char* p, const char* end, std::uint64_t base, const char* begin);
  // False when the name [name, nul) of the chunk ending at end cannot pass the
  // filter: it holds none of the byte pairs of the filter's probe.
  bool may_match(const CompiledMaskList& filter, const char* name, const char* nul, const char* end);
  void finish_archive_header(std::uint64_t position_after);
  void append_limited(std::string& to, std::string_view bytes, std::size_t limit);

  RecordHandler& handler_;
  bool enter_archives_;

  Mode mode_ = Mode::expecting;
  int zero_count_ = 1;
  std::uint64_t position_ = 0; // bytes of the stream consumed so far
  std::string directory_path_;
  std::string name_;           // name being read, or the last one read
  std::string_view last_name_; // last complete name: into name_ or the current chunk
  std::array<unsigned char, record_tail_length> tail_{};
  std::size_t tail_fill_ = 0;
  std::array<unsigned char, 8> header_{};
  std::size_t header_fill_ = 0;
  std::uint32_t remaining_members_ = 0;
  std::uint64_t block_end_ = 0; // stream position where the current block's members end
  std::string archive_name_;        // the archive whose members are being read
  std::string archive_path_;        // built from it when a member is first reported
  bool archive_path_stale_ = false;
  std::uint64_t skip_left_ = 0;
  // The first probe find at or after the names already passed over in the
  // current chunk, for the filter it was looked up for.
  const CompiledMaskList* probe_for_ = nullptr;
  const char* probe_hit_ = nullptr;
};

} // namespace shelvo
