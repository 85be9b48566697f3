// The postings of a volume while its blocks are read: each block's keys (each
// once) as pairs of key and block, sorted by key a run at a time and kept
// packed, so that building touches memory in order and holds about two bytes a
// pair; read back merged, key by key in ascending order, each key's blocks in
// ascending order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace shelvo {

class PostingRuns {
public:
  // A run holds pairs of this many neighbouring blocks at most, and this many
  // pairs: a pair is then the key and the block within the run in 32 bits.
  static constexpr int block_bits = 14;
  static constexpr std::size_t run_pairs = std::size_t{1} << 20;

  void clear();
  // The keys of the next block (blocks come in ascending order), each once;
  // every key is below 2^(32 - block_bits).
  void add_block(std::span<const std::uint32_t> keys, std::uint32_t block);
  // Calls visit for every key, in ascending order, with its blocks.
  void for_each_key(const std::function<void(std::uint32_t key, std::span<const std::uint32_t> blocks)>& visit);

private:
  void sort_pairs();
  void seal_run();

  std::vector<std::uint32_t> pairs_; // key << block_bits | block - run_base_
  std::vector<std::uint32_t> sorted_;
  std::uint32_t run_base_ = 0;
  bool pairs_sorted_ = false;
  std::vector<std::string> runs_; // per key: LEB128 key gap, block count, block gaps
};

} // namespace shelvo
