// Builds the index segment of one volume file from its record stream (the bytes
// after the format byte), fed in pieces of any size as a search, an add or
// --index reads them.
//
// The stream is cut into blocks of about block_bytes at record boundaries where
// the record reader's state is simple: outside every archive block, before a
// file or directory record, with the current directory known. A search may start
// reading at any block with that directory, and reads the same records there as
// a reader that came from the start of the volume.
//
// That holds only for a stream that follows the writers' rules, so the builder
// checks them as it goes: directory markers of exactly eight zeros, an archive
// block only right after a file record, its members exactly filling its length
// and count, nothing after the last record. A stream that breaks one (a damaged
// file, a writer of another kind) gets a segment that says to read it whole.
//
// Every name adds the keys of its runs of three bytes to its block: files and
// members under their names, directories under the last component of their path
// as the reader matches it. Should the postings make the segment larger than
// max_share of the volume, neighbouring blocks are taken together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/posting_runs.h"
#include "index/trigram_keys.h"
#include "index/volume_identity.h"

namespace shelvo {

class VolumeIndexBuilder {
public:
  static constexpr std::uint32_t default_block_bytes = 4096;
  static constexpr double max_share = 0.45; // of the volume file's size, at most

  explicit VolumeIndexBuilder(std::uint32_t block_bytes = default_block_bytes);
  VolumeIndexBuilder(const VolumeIndexBuilder&) = delete;
  VolumeIndexBuilder& operator=(const VolumeIndexBuilder&) = delete;

  // Starts a volume; format is the byte after its label (0 when it has none).
  void start(unsigned char format);
  void feed(std::span<const char> bytes);
  // The segment file for the stream fed since start, recorded for the volume
  // file of that identity (whose size must be the stream's plus the header's).
  std::string finish(const VolumeIdentity& volume);

  // False once the stream broke the writers' rules.
  bool regular() const { return regular_; }

private:
  struct Parsed;
  enum class Parse { complete, incomplete, irregular };
  // Reads the record at the start of bytes (at least one).
  Parse parse_record(std::span<const char> bytes, Parsed& record) const;
  // Takes the records of a piece that follows a whole record.
  void feed_whole_records(std::span<const char> bytes);
  void take_record(const Parsed& record);
  void add_keys(std::string_view name, KeySpace space);
  void close_block();
  // The segment with 2^shift neighbouring blocks taken as one; with a shift
  // of -1, one that says to read the volume whole.
  std::string encode(const VolumeIdentity& volume, int shift);

  std::uint32_t block_bytes_;
  bool regular_ = true;
  std::uint64_t position_ = 0; // stream bytes taken as whole records
  std::string pending_;        // the start of a record the last piece ended inside

  // Reader state as the writers' rules allow it.
  std::size_t marker_zeros_ = 8; // zeros of the next directory marker (7 first in the older format)
  bool after_file_ = false;      // the last record was a file record (not a member)
  std::uint32_t members_left_ = 0;
  std::uint64_t member_bytes_left_ = 0;
  std::string directory_; // the current directory, as the reader holds it

  // Blocks: where each starts in the stream and its directory there (an index
  // into contexts_, whose neighbours differ).
  std::vector<std::uint64_t> block_starts_;
  std::vector<std::uint32_t> block_contexts_;
  std::vector<std::string> contexts_;
  std::uint64_t block_begin_ = 0;

  // The keys of the block being read, once each (seen_ has one bit a key).
  std::vector<std::uint64_t> seen_;
  std::vector<std::uint32_t> block_keys_; // the first block_key_count_ of them
  std::size_t block_key_count_ = 0;

  PostingRuns postings_;
};

} // namespace shelvo
