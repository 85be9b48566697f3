// Counting a run of file records by a mask list's shortcut for names without a
// '*' ("*" takes every such name, "*.*" those holding a '.'), as a search that
// only counts does for millions of names: the reader adds up the notes the
// lanes of the walk made of each record (record_lanes.h); the rare name they
// did not settle is read here, by its bytes and the piece's map of '*'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "catalog/record_reader.h"

namespace shelvo {

// File records that follow one another in a piece: record k starts at
// bytes + starts[k], the record after the last one at bytes + after, and the
// lanes noted notes[k] - notes[k - 1] of it; the first `members` of them are
// archive members.
struct FileRun {
  const char* bytes = nullptr;
  const std::uint64_t* starts = nullptr;
  const std::uint64_t* notes = nullptr;
  std::size_t count = 0;
  std::size_t after = 0;
  std::size_t members = 0;
};

// Adds to the tally the records the notes left unsettled whose names (cut to
// max_record_name, as the reader reports them) hold no '*' and, with holding,
// hold `byte`. The indices of those that hold a '*' are appended to with_star
// instead, in order, for the masks to decide.
void settle_names(const FileRun& run, const unsigned char* stars, bool holding, char byte, RecordTally& tally,
                  std::vector<std::size_t>& with_star);

} // namespace shelvo
