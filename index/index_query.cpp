#include "index/index_query.h"

namespace shelvo {

IndexQuery make_index_query(const MaskList& masks, bool files, bool members, bool directories) {
  IndexQuery query;
  if (files) query.spaces.push_back(KeySpace::files);
  if (members) query.spaces.push_back(KeySpace::members);
  if (directories) query.spaces.push_back(KeySpace::directories);
  query.usable = true;
  for (const std::string& mask : masks.masks()) {
    if (!mask.empty() && mask[0] == '\\') continue; // an exclusion
    std::vector<std::uint32_t> codes = required_trigram_codes(mask);
    if (codes.empty()) query.usable = false;
    query.masks.push_back(std::move(codes));
  }
  return query;
}

bool candidate_blocks(IndexSegment& segment, const IndexQuery& query, BlockSet& out) {
  const std::uint32_t count = segment.block_count();
  out.reset(count, false);
  BlockSet all_keys, one_key;
  for (const std::vector<std::uint32_t>& codes : query.masks) {
    for (const KeySpace space : query.spaces) {
      all_keys.reset(count, true);
      for (const std::uint32_t code : codes) {
        if (!segment.blocks_of_key(index_key(space, code), one_key)) return false;
        all_keys.intersect(one_key);
        if (all_keys.empty()) break;
      }
      out.unite(all_keys);
    }
  }
  return true;
}

} // namespace shelvo
