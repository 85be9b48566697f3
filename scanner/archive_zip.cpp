// ZIP: the local file headers, in file order. The central directory is never
// used, so a damaged or missing one costs nothing; after the last local header
// the signature search runs on to the end of the file.
#include <array>
#include <string>

#include "scanner/archive_formats.h"
#include "scanner/byte_cursor.h"

namespace shelvo {

namespace {

// Local file header, offsets from the signature:
//
//   0  4  signature "PK" 0x03 0x04
//   8  2  compression method (0 stored ... 8 deflated; above: broken)
//  10  4  DOS time (low 16 bits) and date (high 16 bits)
//  18  4  compressed size   } 0xFFFFFFFF: the size is in the Zip64 extra field
//  22  4  uncompressed size }
//  26  2  file name length N
//  28  2  extra field length X
//  30  N  file name
//  30+N X extra field: blocks of id (2), size (2), data
//  30+N+X compressed data
constexpr std::size_t fixed_part = 30;
constexpr std::size_t off_method = 8;
constexpr std::size_t off_date_time = 10;
constexpr std::size_t off_compressed = 18;
constexpr std::size_t off_uncompressed = 22;
constexpr std::size_t off_name_length = 26;
constexpr std::size_t off_extra_length = 28;
constexpr std::uint16_t max_method = 8;
constexpr std::uint32_t zip64_marker = 0xFFFFFFFF;
constexpr std::uint16_t zip64_extra_id = 0x0001;
constexpr std::string_view local_signature{"PK\x03\x04", 4};

// Replaces the 32-bit sizes that the header marks as 0xFFFFFFFF with the 64-bit
// ones of the Zip64 extra block (uncompressed first, then compressed, each only
// when marked). Sizes the extra block does not hold are taken as 0.
void apply_zip64_sizes(std::string_view extra, std::uint64_t& uncompressed, std::uint64_t& compressed) {
  const bool want_uncompressed = uncompressed == zip64_marker;
  const bool want_compressed = compressed == zip64_marker;
  if (want_uncompressed) uncompressed = 0;
  if (want_compressed) compressed = 0;
  const ByteCursor x(std::span(extra.data(), extra.size()));
  for (std::size_t at = 0; x.has(at, 4);) {
    const std::uint16_t id = x.u16le(at);
    const std::uint16_t size = x.u16le(at + 2);
    if (id == zip64_extra_id) {
      std::size_t field = at + 4;
      if (want_uncompressed && x.has(field, 8) && field + 8 <= at + 4 + size) {
        uncompressed = x.u64le(field);
        field += 8;
      }
      if (want_compressed && x.has(field, 8) && field + 8 <= at + 4 + size) compressed = x.u64le(field);
      return;
    }
    at += 4 + std::size_t{size};
  }
}

} // namespace

void read_zip_members(ArchiveFrame& frame) {
  ArchiveStream& archive = frame.archive;
  std::array<char, fixed_part> fixed{};
  std::string name(0xFFFF, '\0');

  while (find_signature(local_signature, archive) == 1) {
    const std::uint64_t start = archive.position() - local_signature.size();
    if (!archive.read_at(start, fixed)) return; // truncated
    const ByteCursor h(fixed);
    const std::uint16_t name_length = h.u16le(off_name_length);
    const std::uint16_t extra_length = h.u16le(off_extra_length);
    std::uint64_t uncompressed = h.u32le(off_uncompressed);
    std::uint64_t compressed = h.u32le(off_compressed);
    const std::uint64_t name_start = start + fixed_part;
    const std::uint64_t extra_start = name_start + name_length;
    const std::uint64_t data_start = extra_start + extra_length;

    if (uncompressed == zip64_marker || compressed == zip64_marker) {
      std::string extra(extra_length, '\0');
      if (!archive.read_at(extra_start, extra)) return;
      apply_zip64_sizes(extra, uncompressed, compressed);
    }
    if (uncompressed == 0 && compressed == 0) {
      // A directory, an empty file, or a member whose sizes follow its data: the
      // search goes on through the data to the next local header.
      if (!archive.seek_to(data_start)) return;
      continue;
    }

    if (!archive.seek_to(name_start)) return;
    const std::size_t got = read_field(name, 1, name_length, archive, name.size());
    if (got < name_length) return; // truncated inside the name
    frame.take_member(std::string_view(name).substr(0, got), uncompressed, h.u32le(off_date_time),
                      h.u16le(off_method) <= max_method);

    if (compressed > archive.size() || !archive.seek_to(data_start + compressed)) return; // truncated
  }
}

} // namespace shelvo
