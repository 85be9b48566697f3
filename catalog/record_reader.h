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
//
// In bulk the reader finds whole records from a map of the zero bytes, walking
// several stretches of a chunk at once; with a filter that has a probe it
// passes over the names (and the directories no one need be told of) between
// the finds of the probe undecoded, and counting only it counts "*" and "*.*"
// by maps of the bytes. It reports (or counts) exactly what the byte-by-byte
// reading reports, on every input.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/byte_scan.h"
#include "catalog/probe_cursor.h"
#include "catalog/record_lanes.h"
#include "catalog/search_mask.h"

namespace shelvo {

constexpr std::size_t max_directory_path = 259;
constexpr std::size_t max_record_name = 267;
constexpr std::size_t max_archive_path = 255;
constexpr std::size_t record_tail_length = 9; // size 4, date 2, time 2, end byte

using RecordTail = std::span<const unsigned char, record_tail_length>;

// Records counted instead of reported (RecordHandler::tally). Sizes are the 31
// bits a tail holds.
struct RecordTally {
  std::uint64_t files = 0; // file records, members not included
  std::uint64_t file_bytes = 0;
  std::uint64_t members = 0;
  std::uint64_t member_bytes = 0;
  std::uint64_t directories = 0;
};

// What the reader reports. The views are valid only during the call.
class RecordHandler {
public:
  virtual ~RecordHandler() = default;
  // When set, file and member records whose names it rejects are not reported
  // (they still end an archive's members and name the next archive). A handler
  // that cares only about matching names sets it, and may change it between
  // records; this spares one call per record on large catalogs, and with a probe
  // (CompiledMaskList::probe) most names are not even looked at.
  const CompiledMaskList* name_filter = nullptr;
  // The same for directory records, by the last component of their path; each
  // one still becomes the current directory.
  const CompiledMaskList* directory_filter = nullptr;
  // When set, the records that pass a filter are counted here instead of
  // reported: file and member records when name_filter is set, directory records
  // when directory_filter is. What no filter guards is still reported. A handler
  // that only counts hits spares a call per hit.
  RecordTally* tally = nullptr;

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
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // Fresh state for the next volume; format is the byte after the label (0 when
  // the file has none).
  void start_volume(unsigned char format);
  // Fresh state for reading on from a record boundary that lies outside every
  // archive block, as the reader stands after a whole record there: directory is
  // the current directory path at that point, position its place in the stream
  // (bytes after the format byte). A search index starts its reads so.
  void resume_at_record(std::string_view directory, std::uint64_t position);

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

  // The steps declared inline run for every record; they are defined in
  // record_reader_steps.h, which only the reader's own sources include.
  inline void begin_name(std::uint64_t position);
  inline void finish_file_record(std::string_view name, const unsigned char* tail);
  // A file or member record that passed the name filter.
  inline void report_file(std::string_view name, const unsigned char* tail, bool member);
  void start_directory_path();
  // The path is directory_path_, or a view into the current piece (which ends at
  // piece_end, nullptr for directory_path_).
  inline void finish_directory_record(std::string_view path, const char* piece_end = nullptr);
  inline void set_directory(std::string_view path);
  void report_directory(std::string_view path, const char* piece_end);
  // What the filter's shortcut for names without a '*' (scanned for in this
  // piece) says of the leaf of a path in the piece: nothing when it holds a '*'.
  enum class Settled { accepted, rejected, not_by_rule };
  Settled leaf_by_rule(std::string_view path, const CompiledMaskList& filter) const;
  const std::string& archive_path();
  void finish_archive_header(std::uint64_t position_after);
  void append_limited(std::string& to, std::string_view bytes, std::size_t limit);

  // The bulk reader reads a piece of at most max_piece bytes at a time, so that
  // its maps stay small whatever the caller feeds.
  void feed_piece(std::span<const char> piece);
  // Reads the whole records that follow one another from offset at of the piece
  // while the zero count stands at 1 (or file records and archive headers only
  // when it does not); returns the offset of the first byte not consumed.
  std::size_t walk_records(std::span<const char> piece, std::size_t at, std::uint64_t base);
  // Takes the records a lane found, from its record `from` on; the record after
  // its last one begins at offset `after`.
  void take_lane_records(std::span<const char> piece, std::uint64_t base, std::size_t lane, std::size_t from,
                         std::size_t count, std::size_t marks, std::size_t after);
  // Counts the hits among `count` file records that follow one another (the
  // record after them starts at offset `after`) by the filter's shortcut for
  // names without a '*', from the notes the lanes made of them; a name that
  // holds a '*' is left to the masks.
  void count_noted_names(const char* bytes, std::uint64_t base, const std::uint64_t* starts,
                         const std::uint64_t* notes, std::size_t count, std::size_t after,
                         const CompiledMaskList& filter);
  // Hands on one whole record of the piece, from its offset to that of the next.
  void take_record(std::span<const char> piece, std::size_t at, std::size_t next, std::uint64_t base);
  // The same for a file record [record, nul) of a piece ending at end, whose first
  // byte is at the given stream position; inline, as it runs for every record.
  [[gnu::always_inline]] inline void take_file_record(const char* record, const char* nul, const char* end,
                                                      std::uint64_t position);
  // Scans the piece from offset at for the filters of the handler.
  void scan(std::span<const char> piece, std::size_t at);

  RecordHandler& handler_;
  bool enter_archives_;

  Mode mode_ = Mode::expecting;
  int zero_count_ = 1;
  std::uint64_t position_ = 0; // bytes of the stream consumed so far
  std::string directory_path_;   // path being read, or the current one
  std::string_view directory_;   // the current path: into directory_path_ or the current piece
  bool directory_in_piece_ = false;
  std::string name_;           // name being read, or the last one read
  std::string_view last_name_; // last complete name: into name_ or the current piece
  bool last_name_in_piece_ = false;
  std::array<unsigned char, record_tail_length> tail_{};
  std::size_t tail_fill_ = 0;
  std::array<unsigned char, 8> header_{};
  std::size_t header_fill_ = 0;
  std::uint32_t remaining_members_ = 0;
  std::uint64_t block_end_ = 0; // stream position where the current block's members end
  std::string_view archive_name_;   // the archive whose members are being read
  std::string archive_name_copy_;   // its name when not a view into the piece
  bool archive_name_in_piece_ = false;
  std::string archive_path_;        // built from it when a member is first reported
  bool archive_path_stale_ = false;
  std::uint64_t skip_left_ = 0;

  // The bulk walk over the current piece: its scan (from the first record the
  // walk met on), the record starts found by each lane of the walk, and the
  // offset before which the walk uses one lane only (after damaged bytes).
  PieceScan scan_;
  bool scanned_ = false;
  PieceScanFilters scanned_for_;
  RecordLanes lanes_;
  std::vector<std::size_t> with_star_; // names that counting leaves to the masks
  std::size_t one_lane_until_ = 0;
  // The probe finds of the name filter and of the directory filter, when it is
  // another one.
  ProbeCursor names_{scan_, scanned_for_};
  ProbeCursor directories_{scan_, scanned_for_};
};

} // namespace shelvo
