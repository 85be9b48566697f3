// A set of the blocks of one volume file, one bit each: the blocks that may hold
// a hit, as the postings of the keys say.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace shelvo {

class BlockSet {
public:
  // count blocks, none in the set (or all of them with full).
  explicit BlockSet(std::uint32_t count = 0, bool full = false) { reset(count, full); }

  void reset(std::uint32_t count, bool full) {
    count_ = count;
    words_.assign((count + 63) / 64, full ? ~std::uint64_t{0} : 0);
    if (full && count % 64 != 0) words_.back() = (std::uint64_t{1} << (count % 64)) - 1;
  }
  std::uint32_t size() const { return count_; }
  void insert(std::uint32_t block) { words_[block / 64] |= std::uint64_t{1} << (block % 64); }
  bool contains(std::uint32_t block) const { return (words_[block / 64] >> (block % 64)) & 1; }
  // Sets of the same size.
  void intersect(const BlockSet& other) {
    for (std::size_t k = 0; k < words_.size(); ++k) words_[k] &= other.words_[k];
  }
  void unite(const BlockSet& other) {
    for (std::size_t k = 0; k < words_.size(); ++k) words_[k] |= other.words_[k];
  }
  bool empty() const {
    for (const std::uint64_t word : words_)
      if (word) return false;
    return true;
  }
  // The first block at or after from in the set (or, with in_set false, not in
  // it); size() when there is none.
  std::uint32_t next(std::uint32_t from, bool in_set = true) const {
    std::size_t k = from / 64;
    if (k >= words_.size()) return count_;
    const std::uint64_t flip = in_set ? 0 : ~std::uint64_t{0};
    std::uint64_t word = (words_[k] ^ flip) & (~std::uint64_t{0} << (from % 64));
    while (word == 0) {
      if (++k == words_.size()) return count_;
      word = words_[k] ^ flip;
    }
    const auto found = static_cast<std::uint32_t>(k * 64 + static_cast<std::size_t>(std::countr_zero(word)));
    return found < count_ ? found : count_;
  }
  // The bytes of a bitmap posting (bit b of byte b / 8 for block b), whose bits
  // past the last block are clear.
  std::vector<std::uint64_t>& words() { return words_; }

private:
  std::uint32_t count_ = 0;
  std::vector<std::uint64_t> words_;
};

} // namespace shelvo
