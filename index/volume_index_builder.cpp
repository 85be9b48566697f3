#include "index/volume_index_builder.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"
#include "catalog/record_reader.h"
#include "index/content_hash.h"
#include "index/segment_format.h"

namespace shelvo {

namespace {

// No writer makes a record this long (names and paths have a few hundred bytes):
// a longer one is a damaged stream, and is never held in memory whole.
constexpr std::size_t max_record_bytes = 65536;
constexpr std::size_t directory_marker_zeros = 8;
constexpr std::size_t chunk_bytes = 32;
constexpr std::size_t chunk_data = chunk_bytes - 4; // then the next chunk's number
// Blocks taken together 2^max_shift at a time at most; past that the volume is
// read whole.
constexpr int max_shift = 4;

std::size_t leb128_length(std::uint32_t value) {
  std::size_t n = 1;
  for (; value >= 0x80; value >>= 7) ++n;
  return n;
}

void put_leb128(std::string& out, std::uint32_t value) {
  for (; value >= 0x80; value >>= 7) out += static_cast<char>((value & 0x7F) | 0x80);
  out += static_cast<char>(value);
}

} // namespace

struct VolumeIndexBuilder::Parsed {
  enum class Kind { file, directory, archive } kind = Kind::file;
  std::size_t length = 0;
  std::string_view text; // a name, or a directory's path
  std::uint32_t archive_length = 0;
  std::uint32_t archive_count = 0;
};

// The block numbers of one key's postings, in order.
class PostingChain {
public:
  PostingChain(const VolumeIndexBuilder& builder, const VolumeIndexBuilder::KeyPostings& key)
      : arena_(builder.arena_.data()), chunk_(key.first_chunk), left_(key.bytes) {}
  bool next(std::uint32_t& block) {
    if (left_ == 0) return false;
    std::uint32_t gap = 0;
    for (int shift = 0;; shift += 7) {
      const unsigned char byte = take();
      gap |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
      if (!(byte & 0x80)) break;
    }
    block = next_ + gap;
    next_ = block + 1;
    return true;
  }
  // The bytes as they are stored: the postings' own encoding of gaps.
  void copy_to(std::string& out) {
    while (left_ > 0) out += static_cast<char>(take());
  }

private:
  unsigned char take() {
    if (used_ == chunk_data) {
      std::uint32_t following = 0;
      std::memcpy(&following, arena_ + chunk_ * chunk_bytes + chunk_data, sizeof following);
      chunk_ = following;
      used_ = 0;
    }
    --left_;
    return arena_[chunk_ * chunk_bytes + used_++];
  }
  const unsigned char* arena_;
  std::uint32_t chunk_;
  std::uint32_t left_;
  std::size_t used_ = 0;
  std::uint32_t next_ = 0;
};

VolumeIndexBuilder::VolumeIndexBuilder(std::uint32_t block_bytes)
    : block_bytes_(std::max<std::uint32_t>(block_bytes, 1)), seen_(index_key_limit / 64),
      slot_of_key_(index_key_limit) {
  start(volume_format_byte);
}

void VolumeIndexBuilder::reset_postings() {
  for (const KeyPostings& key : postings_) slot_of_key_[key.key] = 0;
  postings_.clear();
  arena_.clear();
}

void VolumeIndexBuilder::start(unsigned char format) {
  regular_ = true;
  position_ = 0;
  pending_.clear();
  // In the older format the first zero of the root's marker stands where the
  // format byte is now.
  marker_zeros_ = format == 0 ? directory_marker_zeros - 1 : directory_marker_zeros;
  after_file_ = false;
  members_left_ = 0;
  member_bytes_left_ = 0;
  directory_.clear();
  for (std::size_t k = 0; k < block_key_count_; ++k) seen_[block_keys_[k] / 64] = 0;
  block_key_count_ = 0;
  reset_postings();
  block_starts_.assign(1, 0);
  contexts_.assign(1, std::string());
  block_contexts_.assign(1, 0);
  block_begin_ = 0;
}

VolumeIndexBuilder::Parse VolumeIndexBuilder::parse_record(std::span<const char> bytes, Parsed& record) const {
  const char* const p = bytes.data();
  const std::size_t size = bytes.size();
  const auto first = static_cast<unsigned char>(p[0]);
  if (first >= 2) {
    const char* nul = static_cast<const char*>(std::memchr(p, 0, size));
    if (!nul || size - static_cast<std::size_t>(nul - p) <= record_tail_length) return Parse::incomplete;
    record.kind = Parsed::Kind::file;
    record.text = std::string_view(p, static_cast<std::size_t>(nul - p));
    record.length = record.text.size() + 1 + record_tail_length;
    return Parse::complete;
  }
  if (first == 1) {
    if (size < archive_block_header) return Parse::incomplete;
    record.kind = Parsed::Kind::archive;
    record.length = archive_block_header;
    record.archive_length = get_u32(p + 1);
    record.archive_count = get_u32(p + 5);
    return Parse::complete;
  }
  // A directory marker of exactly its zeros: fewer before another byte leave
  // the reader counting zeros across records, which no writer does.
  const std::size_t zeros = std::min(marker_zeros_, size);
  for (std::size_t k = 0; k < zeros; ++k)
    if (p[k] != 0) return Parse::irregular;
  if (size <= marker_zeros_) return Parse::incomplete;
  const char* nul = static_cast<const char*>(std::memchr(p + marker_zeros_, 0, size - marker_zeros_));
  if (!nul) return Parse::incomplete;
  record.kind = Parsed::Kind::directory;
  record.text = std::string_view(p + marker_zeros_, static_cast<std::size_t>(nul - p) - marker_zeros_);
  record.length = static_cast<std::size_t>(nul - p) + 1;
  return Parse::complete;
}

void VolumeIndexBuilder::feed(std::span<const char> bytes) {
  if (!regular_ || bytes.empty()) return;
  // A record begun in an earlier piece is completed from this one, a little at
  // a time, so that a long piece is not copied for it.
  const std::size_t carried = pending_.size();
  std::size_t used = 0;
  while (!pending_.empty()) {
    const std::size_t take = std::min(bytes.size() - used, std::max<std::size_t>(512, pending_.size()));
    if (take == 0) return; // the piece ends inside the record still
    pending_.append(bytes.data() + used, take);
    used += take;
    Parsed record;
    const Parse parsed = parse_record(pending_, record);
    if (parsed == Parse::irregular || (parsed == Parse::incomplete && pending_.size() > max_record_bytes)) {
      regular_ = false;
      pending_.clear();
      return;
    }
    if (parsed == Parse::complete) {
      take_record(record);
      bytes = bytes.subspan(record.length - carried);
      pending_.clear();
    }
  }
  feed_whole_records(bytes);
}

void VolumeIndexBuilder::feed_whole_records(std::span<const char> bytes) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end && regular_) {
    Parsed record;
    const auto left = static_cast<std::size_t>(end - p);
    const Parse parsed = parse_record(std::span<const char>(p, left), record);
    if (parsed == Parse::complete) {
      take_record(record);
      p += record.length;
    } else if (parsed == Parse::incomplete && left <= max_record_bytes) {
      pending_.assign(p, left);
      return;
    } else {
      regular_ = false;
    }
  }
}

void VolumeIndexBuilder::take_record(const Parsed& record) {
  // A block ends before a file or directory record that lies outside archive
  // blocks once it is long enough: there the reader's state is the directory.
  if (members_left_ == 0 && record.kind != Parsed::Kind::archive && position_ - block_begin_ >= block_bytes_) {
    close_block();
    block_begin_ = position_;
    block_starts_.push_back(position_);
    if (contexts_.back() != directory_) contexts_.push_back(directory_);
    block_contexts_.push_back(static_cast<std::uint32_t>(contexts_.size() - 1));
  }
  switch (record.kind) {
  case Parsed::Kind::file:
    if (members_left_ > 0) {
      // A member: the block's length and count must run out together.
      if (record.length > member_bytes_left_) regular_ = false;
      member_bytes_left_ -= std::min<std::uint64_t>(record.length, member_bytes_left_);
      --members_left_;
      if ((members_left_ == 0) != (member_bytes_left_ == 0)) regular_ = false;
      add_keys(record.text, KeySpace::members);
      after_file_ = false;
    } else {
      // The older format's root must come first, or the reader keeps counting zeros.
      if (marker_zeros_ != directory_marker_zeros) regular_ = false;
      add_keys(record.text, KeySpace::files);
      after_file_ = true;
    }
    break;
  case Parsed::Kind::directory: {
    if (members_left_ > 0) regular_ = false;
    marker_zeros_ = directory_marker_zeros;
    // The path and its last component as the reader holds them: a long path cut.
    const std::string_view path = record.text.substr(0, max_directory_path);
    directory_.assign(path);
    add_keys(path.substr(leaf_of(path)), KeySpace::directories);
    after_file_ = false;
    break;
  }
  case Parsed::Kind::archive:
    // Only right after its archive's file record: the reader names the block's
    // members after the last name read.
    if (!after_file_ || members_left_ > 0) regular_ = false;
    if ((record.archive_count == 0) != (record.archive_length == 0)) regular_ = false;
    members_left_ = record.archive_count;
    member_bytes_left_ = record.archive_length;
    after_file_ = false;
    break;
  }
  position_ += record.length;
}

void VolumeIndexBuilder::add_keys(std::string_view name, KeySpace space) {
  if (name.size() < 3) return;
  if (block_keys_.size() < block_key_count_ + name.size()) block_keys_.resize(2 * (block_key_count_ + name.size()));
  std::uint32_t* const out = block_keys_.data();
  std::size_t count = block_key_count_;
  const auto* n = reinterpret_cast<const unsigned char*>(name.data());
  const std::uint32_t base = index_key(space, 0);
  std::uint32_t previous = static_cast<std::uint32_t>(detail::byte_classes[n[0]]) << class_bits |
                           detail::byte_classes[n[1]];
  std::uint64_t* const seen = seen_.data();
  for (std::size_t i = 2; i < name.size(); ++i) {
    previous = (previous << class_bits | detail::byte_classes[n[i]]) & ((1u << trigram_code_bits) - 1);
    const std::uint32_t key = base | previous;
    const std::uint64_t bit = std::uint64_t{1} << (key % 64);
    const std::uint64_t word = seen[key / 64];
    out[count] = key; // kept only when the block had no such key yet
    count += (word & bit) == 0;
    seen[key / 64] = word | bit;
  }
  block_key_count_ = count;
}

void VolumeIndexBuilder::close_block() {
  const auto block = static_cast<std::uint32_t>(block_starts_.size() - 1);
  for (std::size_t k = 0; k < block_key_count_; ++k) {
    seen_[block_keys_[k] / 64] = 0;
    append_posting(block_keys_[k], block);
  }
  block_key_count_ = 0;
}

void VolumeIndexBuilder::append_posting(std::uint32_t key, std::uint32_t block) {
  std::uint32_t& slot = slot_of_key_[key];
  const auto new_chunk = [&] {
    const auto chunk = static_cast<std::uint32_t>(arena_.size() / chunk_bytes);
    arena_.resize(arena_.size() + chunk_bytes);
    return chunk;
  };
  if (slot == 0) {
    KeyPostings fresh;
    fresh.key = key;
    fresh.first_chunk = fresh.last_chunk = new_chunk();
    postings_.push_back(fresh);
    slot = static_cast<std::uint32_t>(postings_.size());
  }
  KeyPostings& postings = postings_[slot - 1];
  std::uint32_t gap = block - postings.next_block;
  postings.next_block = block + 1;
  for (;;) {
    if (postings.fill == chunk_data) {
      const std::uint32_t chunk = new_chunk();
      std::memcpy(arena_.data() + postings.last_chunk * chunk_bytes + chunk_data, &chunk, sizeof chunk);
      postings.last_chunk = chunk;
      postings.fill = 0;
    }
    const bool more = gap >= 0x80;
    arena_[postings.last_chunk * chunk_bytes + postings.fill++] =
        static_cast<unsigned char>((gap & 0x7F) | (more ? 0x80 : 0));
    ++postings.bytes;
    if (!more) break;
    gap >>= 7;
  }
}

std::uint64_t VolumeIndexBuilder::segment_length(int shift) const {
  SegmentHeader header;
  header.key_count = static_cast<std::uint32_t>(postings_.size());
  const std::size_t blocks = block_starts_.size();
  header.block_count = static_cast<std::uint32_t>(((blocks - 1) >> shift) + 1);
  const std::uint64_t bitmap = (header.block_count + 7) / 8;
  std::uint64_t postings = 0;
  for (const KeyPostings& key : postings_) {
    if (shift == 0) {
      postings += std::min<std::uint64_t>(key.bytes, bitmap);
      continue;
    }
    PostingChain chain(*this, key);
    std::uint64_t bytes = 0;
    std::uint32_t block = 0, next = 0;
    bool any = false;
    while (chain.next(block)) {
      const std::uint32_t merged = block >> shift;
      if (any && merged < next) continue;
      bytes += leb128_length(merged - next);
      next = merged + 1;
      any = true;
    }
    postings += std::min(bytes, bitmap);
  }
  std::uint64_t paths = 0;
  std::uint32_t last_context = ~0u;
  for (std::size_t b = 0; b < blocks; b += std::size_t{1} << shift) {
    if (block_contexts_[b] == last_context) continue;
    last_context = block_contexts_[b];
    paths += 2 + contexts_[last_context].size();
  }
  header.paths_length = paths;
  header.postings_length = postings;
  return header.file_length();
}

std::string VolumeIndexBuilder::finish(const VolumeIdentity& volume) {
  // The stream must end with a whole record, outside every archive block, and
  // be the whole file.
  if (!pending_.empty() || members_left_ > 0 || volume.file.size != header_length + position_) regular_ = false;
  close_block();
  int shift = 0;
  const auto limit = static_cast<std::uint64_t>(max_share * static_cast<double>(volume.file.size));
  while (regular_ && shift <= max_shift && segment_length(shift) > limit) ++shift;
  std::string segment = encode(volume, regular_ && shift <= max_shift ? shift : -1);
  start(volume_format_byte); // the memory of this volume's postings goes back to the arena's reuse
  return segment;
}

std::string VolumeIndexBuilder::encode(const VolumeIdentity& volume, int shift) const {
  SegmentHeader header;
  header.volume = volume;
  std::string body;
  if (shift < 0) {
    header.flags = segment_linear_only;
  } else {
    const std::size_t blocks = block_starts_.size();
    header.block_bytes = block_bytes_ << shift;
    header.block_count = static_cast<std::uint32_t>(((blocks - 1) >> shift) + 1);
    header.key_count = static_cast<std::uint32_t>(postings_.size());
    std::vector<std::uint32_t> order(postings_.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return postings_[a].key < postings_[b].key; });

    std::string keys, ends, postings;
    const std::uint64_t bitmap_bytes = (header.block_count + 7) / 8;
    std::string varint, bitmap;
    for (const std::uint32_t index : order) {
      const KeyPostings& key = postings_[index];
      varint.clear();
      PostingChain chain(*this, key);
      if (shift == 0) {
        chain.copy_to(varint);
      } else {
        std::uint32_t block = 0, next = 0;
        bool any = false;
        while (chain.next(block)) {
          const std::uint32_t merged = block >> shift;
          if (any && merged < next) continue;
          put_leb128(varint, merged - next);
          next = merged + 1;
          any = true;
        }
      }
      std::uint32_t stored = key.key;
      if (varint.size() > bitmap_bytes) {
        bitmap.assign(bitmap_bytes, '\0');
        PostingChain again(*this, key);
        std::uint32_t block = 0;
        while (again.next(block)) {
          const std::uint32_t merged = block >> shift;
          bitmap[merged / 8] = static_cast<char>(bitmap[merged / 8] | (1 << (merged % 8)));
        }
        postings += bitmap;
        stored |= bitmap_posting_flag;
      } else {
        postings += varint;
      }
      put_u32(keys, stored);
      put_u32(ends, static_cast<std::uint32_t>(postings.size()));
    }
    std::string paths, contexts, starts;
    std::uint32_t last_context = ~0u;
    std::uint32_t context_at = 0;
    for (std::size_t b = 0; b < blocks; b += std::size_t{1} << shift) {
      put_u64(starts, header_length + block_starts_[b]);
      if (block_contexts_[b] != last_context) {
        last_context = block_contexts_[b];
        context_at = static_cast<std::uint32_t>(paths.size());
        const std::string& path = contexts_[last_context];
        put_u16(paths, static_cast<std::uint16_t>(path.size()));
        paths += path;
      }
      put_u32(contexts, context_at);
    }
    put_u64(starts, header_length + position_);
    header.paths_length = paths.size();
    header.postings_length = postings.size();
    for (std::uint64_t f = 0; f < header.fence_count(); ++f) put_u32(body, postings_[order[f * keys_per_fence]].key);
    body += keys;
    body += ends;
    body += starts;
    body += contexts;
    body += paths;
    body += postings;
  }
  std::string checksums;
  for (std::size_t at = 0; at < body.size(); at += segment_page_bytes)
    put_u64(checksums, content_hash(std::string_view(body).substr(at, segment_page_bytes)));
  header.checksums_hash = content_hash(checksums);
  std::string segment = encode_segment_header(header);
  segment += checksums;
  segment += body;
  return segment;
}

} // namespace shelvo
