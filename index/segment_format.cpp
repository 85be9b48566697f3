#include "index/segment_format.h"

#include <cstring>

#include "index/content_hash.h"
#include "index/trigram_keys.h"

namespace shelvo {

namespace {

constexpr std::string_view segment_magic = "SHELVOIX";
constexpr std::uint32_t segment_version = 1;
constexpr std::size_t hashed_header_bytes = segment_header_bytes - 8;
// A volume file holds a block at every few bytes at most; more blocks than
// bytes could only come from a damaged header.
constexpr std::uint64_t smallest_block = 9;

} // namespace

void put_u16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void put_u32(std::string& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

void put_u64(std::string& out, std::uint64_t value) {
  for (int k = 0; k < 8; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
}

std::uint16_t get_u16(const char* p) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
}

std::uint32_t get_u32(const char* p) {
  std::uint32_t value = 0;
  for (int k = 3; k >= 0; --k) value = value << 8 | static_cast<unsigned char>(p[k]);
  return value;
}

std::uint64_t get_u64(const char* p) {
  std::uint64_t value = 0;
  for (int k = 7; k >= 0; --k) value = value << 8 | static_cast<unsigned char>(p[k]);
  return value;
}

// Offset Size Field
//      0    8 magic "SHELVOIX"
//      8    4 format version
//     12    4 page size
//     16    8 volume file: device
//     24    8              inode
//     32    8              size
//     40    8              modification time, ns
//     48    8              sample hash
//     56    4 flags
//     60    4 block bytes
//     64    4 block count
//     68    4 key count
//     72    8 paths length
//     80    8 postings length
//     88    8 hash of the page checksums
//     96  152 zero
//    248    8 hash of bytes 0-247
std::string encode_segment_header(const SegmentHeader& header) {
  std::string out(segment_magic);
  put_u32(out, segment_version);
  put_u32(out, segment_page_bytes);
  put_u64(out, static_cast<std::uint64_t>(header.volume.file.device));
  put_u64(out, static_cast<std::uint64_t>(header.volume.file.inode));
  put_u64(out, header.volume.file.size);
  put_u64(out, static_cast<std::uint64_t>(header.volume.file.modified_ns));
  put_u64(out, header.volume.sample);
  put_u32(out, header.flags);
  put_u32(out, header.block_bytes);
  put_u32(out, header.block_count);
  put_u32(out, header.key_count);
  put_u64(out, header.paths_length);
  put_u64(out, header.postings_length);
  put_u64(out, header.checksums_hash);
  out.resize(hashed_header_bytes, '\0');
  put_u64(out, content_hash(out));
  return out;
}

std::optional<SegmentHeader> decode_segment_header(std::string_view bytes) {
  if (bytes.size() < segment_header_bytes) return std::nullopt;
  const char* p = bytes.data();
  if (bytes.substr(0, segment_magic.size()) != segment_magic || get_u32(p + 8) != segment_version ||
      get_u32(p + 12) != segment_page_bytes)
    return std::nullopt;
  if (get_u64(p + hashed_header_bytes) != content_hash(bytes.substr(0, hashed_header_bytes))) return std::nullopt;
  SegmentHeader header;
  header.volume.file.device = get_u64(p + 16);
  header.volume.file.inode = get_u64(p + 24);
  header.volume.file.size = get_u64(p + 32);
  header.volume.file.modified_ns = static_cast<std::int64_t>(get_u64(p + 40));
  header.volume.sample = get_u64(p + 48);
  header.flags = get_u32(p + 56);
  header.block_bytes = get_u32(p + 60);
  header.block_count = get_u32(p + 64);
  header.key_count = get_u32(p + 68);
  header.paths_length = get_u64(p + 72);
  header.postings_length = get_u64(p + 80);
  header.checksums_hash = get_u64(p + 88);
  // Counts that no volume of this size could give: the lengths computed from
  // them stay far from any overflow.
  const std::uint64_t size = header.volume.file.size;
  if (header.key_count > index_key_limit || header.block_count > size / smallest_block + 1 ||
      header.paths_length > size || header.postings_length > 0xFFFFFFFFu)
    return std::nullopt;
  if (header.flags & ~segment_linear_only) return std::nullopt;
  return header;
}

} // namespace shelvo
