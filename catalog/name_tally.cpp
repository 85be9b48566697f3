#include "catalog/name_tally.h"

#include <algorithm>
#include <cstring>

#include "catalog/byte_maps.h"
#include "catalog/record_lanes.h"

namespace shelvo {

void settle_names(const FileRun& run, const unsigned char* stars, bool holding, char byte, RecordTally& tally,
                  std::vector<std::size_t>& with_star) {
  for (std::size_t k = 0; k < run.count; ++k) {
    if (run.notes[k] - (&run.notes[k])[-1] != LaneNote::unsettled_note) continue;
    const std::size_t start = run.starts[k];
    const std::size_t nul = (k + 1 < run.count ? run.starts[k + 1] : run.after) - file_record_overhead;
    const std::size_t length = std::min(nul - start, max_record_name);
    if (any_bit(stars, start, length)) {
      with_star.push_back(k);
    } else if (!holding || holds_byte(run.bytes + start, length, byte)) {
      (k < run.members ? tally.members : tally.files) += 1;
      (k < run.members ? tally.member_bytes : tally.file_bytes) += size_in_tail(run.bytes + nul + 1);
    }
  }
}

} // namespace shelvo
