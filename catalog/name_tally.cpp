#include "catalog/name_tally.h"

#include <algorithm>
#include <cstring>

#include "catalog/byte_maps.h"
#include "catalog/record_lanes.h"

namespace shelvo {

namespace {

std::uint32_t size_at(const char* tail) {
  std::uint32_t big_endian = 0;
  std::memcpy(&big_endian, tail, sizeof big_endian);
  if constexpr (std::endian::native == std::endian::little) big_endian = __builtin_bswap32(big_endian);
  return big_endian & 0x7FFFFFFF;
}

} // namespace

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
      (k < run.members ? tally.member_bytes : tally.file_bytes) += size_at(run.bytes + nul + 1);
    }
  }
}

} // namespace shelvo
