#include "index/posting_runs.h"

#include "index/leb128.h"

#include <array>

namespace shelvo {

namespace {

constexpr int key_shift = PostingRuns::block_bits;
constexpr int radix_bits = (32 - key_shift + 1) / 2; // two passes cover the keys
constexpr std::uint32_t local_mask = (1u << PostingRuns::block_bits) - 1;

// A number of a packed run, which this process wrote itself.
[[gnu::always_inline]] inline std::uint32_t next_number(const std::string& run, std::size_t& at) {
  std::uint32_t value = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(run[at++]);
    value |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return value;
  }
}

// A packed run read key by key.
struct RunCursor {
  const std::string* run;
  std::size_t at = 0;
  std::uint32_t key = 0;
  bool has_key = false;
  void advance() {
    has_key = at < run->size();
    if (has_key) key += next_number(*run, at);
  }
  void take_blocks(std::vector<std::uint32_t>& blocks) {
    const std::uint32_t count = next_number(*run, at);
    std::uint32_t block = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
      block += next_number(*run, at) + (k > 0 ? 1 : 0);
      blocks.push_back(block);
    }
  }
};

} // namespace

void PostingRuns::clear() {
  pairs_.clear();
  runs_.clear();
  run_base_ = 0;
  pairs_sorted_ = false;
}

void PostingRuns::add_block(std::span<const std::uint32_t> keys, std::uint32_t block) {
  if (!pairs_.empty() && (pairs_.size() + keys.size() > run_pairs || block - run_base_ > local_mask)) seal_run();
  if (pairs_.empty()) run_base_ = block;
  const std::uint32_t local = block - run_base_;
  for (const std::uint32_t key : keys) pairs_.push_back(key << key_shift | local);
  pairs_sorted_ = false;
}

void PostingRuns::sort_pairs() {
  if (pairs_sorted_) return;
  // Least significant digit first: each pass keeps the order of the one before,
  // and pairs arrive in block order, so each key's blocks stay in order.
  sorted_.resize(pairs_.size());
  for (int pass = 0; pass < 2; ++pass) {
    const int shift = key_shift + pass * radix_bits;
    std::array<std::size_t, (1u << radix_bits) + 1> starts{};
    for (const std::uint32_t pair : pairs_) ++starts[((pair >> shift) & ((1u << radix_bits) - 1)) + 1];
    for (std::size_t d = 1; d < starts.size(); ++d) starts[d] += starts[d - 1];
    for (const std::uint32_t pair : pairs_) sorted_[starts[(pair >> shift) & ((1u << radix_bits) - 1)]++] = pair;
    pairs_.swap(sorted_);
  }
  pairs_sorted_ = true;
}

void PostingRuns::seal_run() {
  sort_pairs();
  std::string run;
  {
    Leb128Writer out(run);
    std::uint32_t previous_key = 0;
    for (std::size_t i = 0; i < pairs_.size();) {
      const std::uint32_t key = pairs_[i] >> key_shift;
      std::size_t end = i;
      while (end < pairs_.size() && (pairs_[end] >> key_shift) == key) ++end;
      out.put(key - previous_key);
      out.put(static_cast<std::uint32_t>(end - i));
      std::uint32_t next = 0;
      for (; i < end; ++i) {
        const std::uint32_t block = run_base_ + (pairs_[i] & local_mask);
        out.put(block - next);
        next = block + 1;
      }
      previous_key = key;
    }
  }
  runs_.push_back(std::move(run));
  pairs_.clear();
}

void PostingRuns::for_each_key(
    const std::function<void(std::uint32_t key, std::span<const std::uint32_t> blocks)>& visit) {
  std::vector<std::uint32_t> blocks;
  if (runs_.empty()) { // all pairs at once: read in place
    sort_pairs();
    for (std::size_t i = 0; i < pairs_.size();) {
      const std::uint32_t key = pairs_[i] >> key_shift;
      blocks.clear();
      for (; i < pairs_.size() && (pairs_[i] >> key_shift) == key; ++i) blocks.push_back(run_base_ + (pairs_[i] & local_mask));
      visit(key, blocks);
    }
    return;
  }
  if (!pairs_.empty()) seal_run();
  std::vector<RunCursor> cursors;
  for (const std::string& run : runs_) {
    cursors.push_back(RunCursor{&run});
    cursors.back().advance();
  }
  for (;;) {
    bool any = false;
    std::uint32_t key = 0;
    for (const RunCursor& cursor : cursors) {
      if (cursor.has_key && (!any || cursor.key < key)) {
        key = cursor.key;
        any = true;
      }
    }
    if (!any) return;
    blocks.clear();
    for (RunCursor& cursor : cursors) { // runs hold later blocks than the runs before
      if (!cursor.has_key || cursor.key != key) continue;
      cursor.take_blocks(blocks);
      cursor.advance();
    }
    visit(key, blocks);
  }
}

} // namespace shelvo
