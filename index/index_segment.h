// An index segment opened for a search. Every byte used is checked against the
// checksum of its page before it is believed, and every number against what it
// may be, so that a damaged, torn or hostile file is found out (the search then
// reads the volume whole) and is never read out of bounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index/block_set.h"
#include "index/segment_format.h"
#include "platform/file_access.h"

namespace shelvo {

// Neighbouring blocks read together: bytes [begin, end) of the volume file.
struct BlockRun {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  bool at_volume_start = false; // the first block: read as the start of the volume
  std::string directory;        // else the current directory at begin
};

class IndexSegment {
public:
  // Opens the segment file recorded for a volume file of this status; false
  // when there is none, or it is not a whole segment of that file. The volume's
  // sample is compared by the caller (volume_sample).
  bool open(const std::string& host_path, const FileStatus& volume);
  bool linear_only() const { return (header_.flags & segment_linear_only) != 0; }
  std::uint64_t volume_sample() const { return header_.volume.sample; }
  std::uint32_t block_count() const { return header_.block_count; }
  const SegmentHeader& header() const { return header_; }

  // The blocks whose names hold a key into out (none for a key the segment
  // lacks). False when the segment turns out damaged.
  bool blocks_of_key(std::uint32_t key, BlockSet& out);
  // The runs of neighbouring blocks of a set, in the order of the file, with
  // where they begin and end and the directory at their start. False when the
  // segment turns out damaged.
  bool runs_of(const BlockSet& blocks, std::vector<BlockRun>& runs);

private:
  // Bytes [at, at + length) of the body into out, each page checked.
  bool read_body(std::uint64_t at, std::uint64_t length, std::string& out);

  File file_;
  SegmentHeader header_;
  std::vector<std::uint64_t> page_hashes_;
  std::vector<std::uint32_t> fences_;
  std::string pages_; // what read_body read
};

} // namespace shelvo
