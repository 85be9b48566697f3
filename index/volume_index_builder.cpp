#include "index/volume_index_builder.h"

#include <algorithm>
#include <cstring>

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"
#include "catalog/record_reader.h"
#include "index/content_hash.h"
#include "index/leb128.h"
#include "index/segment_format.h"

namespace shelvo {

namespace {

// No writer makes a record this long (names and paths have a few hundred bytes):
// a longer one is a damaged stream, and is never held in memory whole.
constexpr std::size_t max_record_bytes = 65536;
// Blocks taken together 2^max_shift at a time at most; past that the volume is
// read whole.
constexpr int max_shift = 4;

} // namespace

struct VolumeIndexBuilder::Parsed {
  enum class Kind { file, directory, archive } kind = Kind::file;
  std::size_t length = 0;
  std::string_view text; // a name, or a directory's path
  std::uint32_t archive_length = 0;
  std::uint32_t archive_count = 0;
};

VolumeIndexBuilder::VolumeIndexBuilder(std::uint32_t block_bytes)
    : block_bytes_(std::max<std::uint32_t>(block_bytes, 1)), seen_((index_key_limit + 63) / 64) {
  start(volume_format_byte);
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
  postings_.clear();
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
  std::uint64_t* const seen = seen_.data();
  // Each key from the classes of its three bytes, none waiting for the key
  // before; a key the block has already is kept out without a branch.
  constexpr std::uint32_t n_classes = detail::byte_class_count;
  std::uint32_t second = detail::byte_classes[n[0]];
  std::uint32_t third = detail::byte_classes[n[1]];
  for (std::size_t i = 2; i < name.size(); ++i) {
    const std::uint32_t first = second;
    second = third;
    third = detail::byte_classes[n[i]];
    const std::uint32_t key = base + (first * n_classes + second) * n_classes + third;
    const std::uint64_t bit = std::uint64_t{1} << (key % 64);
    const std::uint64_t word = seen[key / 64];
    out[count] = key;
    count += (word & bit) == 0;
    seen[key / 64] = word | bit;
  }
  block_key_count_ = count;
}

void VolumeIndexBuilder::close_block() {
  const auto block = static_cast<std::uint32_t>(block_starts_.size() - 1);
  postings_.add_block(std::span<const std::uint32_t>(block_keys_.data(), block_key_count_), block);
  for (std::size_t k = 0; k < block_key_count_; ++k) seen_[block_keys_[k] / 64] = 0;
  block_key_count_ = 0;
}

std::string VolumeIndexBuilder::finish(const VolumeIdentity& volume) {
  // The stream must end with a whole record, outside every archive block, and
  // be the whole file.
  if (!pending_.empty() || members_left_ > 0 || volume.file.size != header_length + position_) regular_ = false;
  close_block();
  const auto limit = static_cast<std::uint64_t>(max_share * static_cast<double>(volume.file.size));
  int shift = regular_ ? 0 : -1;
  std::string segment = encode(volume, shift);
  while (shift >= 0 && segment.size() > limit) {
    shift = shift < max_shift ? shift + 1 : -1;
    segment = encode(volume, shift);
  }
  start(volume_format_byte); // nothing of this volume is kept
  return segment;
}

std::string VolumeIndexBuilder::encode(const VolumeIdentity& volume, int shift) {
  SegmentHeader header;
  header.volume = volume;
  std::string body;
  if (shift < 0) {
    header.flags = segment_linear_only;
  } else {
    const std::size_t blocks = block_starts_.size();
    header.block_bytes = block_bytes_ << shift;
    header.block_count = static_cast<std::uint32_t>(((blocks - 1) >> shift) + 1);
    const std::uint64_t bitmap_bytes = (header.block_count + 7) / 8;
    std::string keys, ends, postings, bitmap;
    std::vector<std::uint32_t> fences;
    {
      Leb128Writer out(postings);
      postings_.for_each_key([&](std::uint32_t key, std::span<const std::uint32_t> holding) {
        if (header.key_count % keys_per_fence == 0) fences.push_back(key);
        ++header.key_count;
        const std::size_t begin = out.size();
        std::uint32_t next = 0;
        for (const std::uint32_t block : holding) {
          const std::uint32_t merged = block >> shift;
          if (merged + 1 == next) continue; // taken together with the block before
          out.put(merged - next);
          next = merged + 1;
        }
        std::uint32_t stored = key;
        if (out.size() - begin > bitmap_bytes) {
          out.truncate(begin);
          bitmap.assign(bitmap_bytes, '\0');
          for (const std::uint32_t block : holding) {
            const std::uint32_t merged = block >> shift;
            bitmap[merged / 8] = static_cast<char>(bitmap[merged / 8] | (1 << (merged % 8)));
          }
          out.append(bitmap);
          stored |= bitmap_posting_flag;
        }
        put_u32(keys, stored);
        put_u32(ends, static_cast<std::uint32_t>(out.size()));
      });
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
    for (const std::uint32_t fence : fences) put_u32(body, fence);
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
