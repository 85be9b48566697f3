// Byte builders for hand-made archive headers, for the cases no archiver on this
// machine writes (damaged, hostile or rare layouts).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace shelvo::testing {

inline std::string le16(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

// 17 May 2001 10:30:00 as a DOS date-time (date high, time low).
constexpr std::uint32_t may_2001 = (0x2AB1u << 16) | 0x53C0u;

// A ZIP local file header followed by its data.
inline std::string zip_local(std::string_view name, std::uint32_t compressed, std::uint32_t uncompressed,
                             std::string_view data, std::uint16_t method = 0, std::uint16_t flags = 0,
                             std::string_view extra = {}, std::uint32_t date_time = may_2001) {
  std::string h = "PK\x03\x04";
  h += le16(20) + le16(flags) + le16(method) + le32(date_time) + le32(0) + le32(compressed) + le32(uncompressed);
  h += le16(static_cast<std::uint32_t>(name.size())) + le16(static_cast<std::uint32_t>(extra.size()));
  h += name;
  h += extra;
  h += data;
  return h;
}

// A RAR 1.5-4.x archive: marker and archive header, then the blocks given.
inline std::string rar_archive(std::string_view blocks, std::uint16_t archive_flags = 0) {
  std::string a("Rar!\x1A\x07\x00", 7);
  a += le16(0) + std::string(1, '\x73') + le16(archive_flags) + le16(13) + std::string(6, '\0');
  a += blocks;
  return a;
}

// A RAR file block with its data. extra_after_name stands for what RAR 2.9 and
// later put after the name (salt, extended times).
inline std::string rar_file(std::string_view name, std::string_view data, std::uint32_t unpacked,
                            std::uint16_t flags = 0x8000, std::string_view extra_after_name = {},
                            std::uint8_t version = 29, char method = '0', std::uint32_t high_packed = 0,
                            std::uint32_t high_unpacked = 0) {
  const bool large = flags & 0x100;
  const std::size_t head = 32 + (large ? 8 : 0) + name.size() + extra_after_name.size();
  std::string b = le16(0) + std::string(1, '\x74') + le16(flags) + le16(static_cast<std::uint32_t>(head));
  b += le32(static_cast<std::uint32_t>(data.size())) + le32(unpacked) + std::string(1, '\x02') + le32(0) +
       le32(may_2001);
  b += std::string(1, static_cast<char>(version)) + std::string(1, method) +
       le16(static_cast<std::uint32_t>(name.size())) + le32(0x20);
  if (large) b += le32(high_packed) + le32(high_unpacked);
  b += name;
  b += extra_after_name;
  b += data;
  return b;
}

// Any other RAR block: a header of head_size bytes, and add_size bytes of data
// announced by flag 0x8000 when add_size is given.
inline std::string rar_block(std::uint8_t type, std::uint16_t head_size, std::string_view add_data = {},
                             bool with_add_size = false) {
  std::string b = le16(0) + std::string(1, static_cast<char>(type)) + le16(with_add_size ? 0x8000 : 0) +
                  le16(head_size);
  if (with_add_size) b += le32(static_cast<std::uint32_t>(add_data.size()));
  b.resize(head_size < b.size() ? b.size() : head_size, '\0');
  b += add_data;
  return b;
}

} // namespace shelvo::testing
