// What a search asks of an index segment: the blocks that may hold a hit. A hit
// of a positive mask holds every run of three literal bytes of the mask, so it
// lies in a block whose names of its kind hold all of their keys; a hit of the
// list is a hit of one of its masks. Exclusions only take hits away, and are
// left to the matching of the records read.
#pragma once

#include <cstdint>
#include <vector>

#include "catalog/name_matching.h"
#include "index/block_set.h"
#include "index/index_segment.h"
#include "index/trigram_keys.h"

namespace shelvo {

struct IndexQuery {
  std::vector<std::vector<std::uint32_t>> masks; // trigram codes of each positive mask
  std::vector<KeySpace> spaces;                  // the kinds of records that can be hits
  bool usable = false; // every positive mask has three literal bytes in a row
};

// The query of a mask list, for a search whose hits are files, members and
// directories as said.
IndexQuery make_index_query(const MaskList& masks, bool files, bool members, bool directories);

// The blocks of a segment that may hold a hit of a usable query into out. False
// when the segment turns out damaged.
bool candidate_blocks(IndexSegment& segment, const IndexQuery& query, BlockSet& out);

} // namespace shelvo
