// The layout of an index segment file: a header, the checksums of the body's
// pages, and the body. index_format.md beside this file describes the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "index/volume_identity.h"

namespace shelvo {

constexpr std::size_t segment_header_bytes = 256;
constexpr std::size_t segment_page_bytes = 4096;
constexpr std::size_t keys_per_fence = segment_page_bytes / 4; // one page of keys
constexpr std::uint32_t bitmap_posting_flag = 0x80000000u;    // in a stored key
constexpr std::uint32_t segment_linear_only = 1;               // flags: read the volume whole

struct SegmentHeader {
  VolumeIdentity volume;
  std::uint32_t flags = 0;
  std::uint32_t block_bytes = 0; // the size blocks were cut at (after which a block ends)
  std::uint32_t block_count = 0;
  std::uint32_t key_count = 0;
  std::uint64_t paths_length = 0;
  std::uint64_t postings_length = 0;
  std::uint64_t checksums_hash = 0; // of the page checksums

  // Where the sections lie in the body, in this order, each right after the one
  // before: the first key of every page of keys, the keys, the end of each
  // key's postings, the blocks' starts (one more: the volume's end), the blocks'
  // directory paths (offsets into the paths), the paths, the postings. A segment
  // that says to read its volume whole has none.
  std::uint64_t fence_count() const { return (key_count + keys_per_fence - 1) / keys_per_fence; }
  std::uint64_t fences_at() const { return 0; }
  std::uint64_t keys_at() const { return fences_at() + 4 * fence_count(); }
  std::uint64_t ends_at() const { return keys_at() + 4ull * key_count; }
  std::uint64_t starts_at() const { return ends_at() + 4ull * key_count; }
  std::uint64_t contexts_at() const { return starts_at() + (block_count > 0 ? 8ull * (block_count + 1ull) : 0); }
  std::uint64_t paths_at() const { return contexts_at() + 4ull * block_count; }
  std::uint64_t postings_at() const { return paths_at() + paths_length; }
  std::uint64_t body_length() const { return postings_at() + postings_length; }
  std::uint64_t page_count() const { return (body_length() + segment_page_bytes - 1) / segment_page_bytes; }
  std::uint64_t body_at() const { return segment_header_bytes + 8 * page_count(); }
  std::uint64_t file_length() const { return body_at() + body_length(); }
};

// The header's bytes, its own hash last.
std::string encode_segment_header(const SegmentHeader& header);
// The header of the first segment_header_bytes of a file; nothing when they are
// not a whole header of this format, or its counts could not be a segment's.
std::optional<SegmentHeader> decode_segment_header(std::string_view bytes);

// Little-endian numbers in the body.
void put_u16(std::string& out, std::uint16_t value);
void put_u32(std::string& out, std::uint32_t value);
void put_u64(std::string& out, std::uint64_t value);
std::uint16_t get_u16(const char* p);
std::uint32_t get_u32(const char* p);
std::uint64_t get_u64(const char* p);

} // namespace shelvo
