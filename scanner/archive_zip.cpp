// ZIP: the local file headers, in file order. After the last local header the
// signature search runs on to the end of the file. The central directory is read
// only for a member whose sizes follow its data (streaming writers, Java's jar,
// macOS), so a damaged or missing one costs nothing otherwise.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "scanner/archive_frame.h"
#include "scanner/byte_cursor.h"

namespace shelvo {

namespace {

// Local file header, offsets from the signature:
//
//   0  4  signature "PK" 0x03 0x04
//   6  2  general-purpose flags (bit 3: the sizes follow the data)
//   8  2  compression method (0-20 and 93-99 are registered; others: broken)
//  10  4  DOS time (low 16 bits) and date (high 16 bits)
//  18  4  compressed size   } 0xFFFFFFFF: the size is in the Zip64 extra field
//  22  4  uncompressed size }
//  26  2  file name length N
//  28  2  extra field length X
//  30  N  file name
//  30+N X extra field: blocks of id (2), size (2), data
//  30+N+X compressed data
constexpr std::size_t fixed_part = 30;
constexpr std::size_t off_flags = 6;
constexpr std::size_t off_method = 8;
constexpr std::size_t off_date_time = 10;
constexpr std::size_t off_compressed = 18;
constexpr std::size_t off_uncompressed = 22;
constexpr std::size_t off_name_length = 26;
constexpr std::size_t off_extra_length = 28;
constexpr std::uint16_t flag_data_descriptor = 0x0008;
constexpr std::uint32_t zip64_marker = 0xFFFFFFFF;
constexpr std::uint16_t zip64_extra_id = 0x0001;
constexpr std::string_view local_signature{"PK\x03\x04", 4};

// Stored, the deflate family, bzip2, LZMA and the rest of the registered
// methods, and those of current tools (zstd 93, MP3 94, xz 95, JPEG 96,
// WavPack 97, PPMd 98, AES 99). Anything else is not a plausible header.
bool is_registered_method(std::uint16_t method) { return method <= 20 || (method >= 93 && method <= 99); }

// End of central directory record, offsets from its signature "PK" 5 6:
//
//  10  2  entries in the central directory
//  12  4  size of the central directory
//  16  4  offset of the central directory
//  20  2  comment length (the record is the last thing in the file, comment
//         included, so it lies in the last 22 + 65535 bytes)
// Zip64 end of central directory locator, 20 bytes just before it ("PK" 6 7):
//   8  8  offset of the Zip64 end of central directory record ("PK" 6 6), whose
//         size of the central directory is at 40 (8) and offset at 48 (8)
// Central directory entry ("PK" 1 2):
//  20  4  compressed size    } 0xFFFFFFFF: in the Zip64 extra field, with the
//  24  4  uncompressed size  } local header offset after them when it is too
//  28  2  name length N        marked
//  30  2  extra field length X
//  32  2  comment length C
//  42  4  offset of the local header
//  46     name, extra field, comment
constexpr std::size_t eocd_size = 22;
// A central directory larger than this (a million members and more, or a damaged
// size) is not read: the members whose sizes follow their data are then left out.
constexpr std::uint64_t max_central_directory = 64 << 20;
constexpr std::size_t max_eocd_search = eocd_size + 0xFFFF;
constexpr std::size_t off_cd_size = 12;
constexpr std::size_t off_cd_offset = 16;
constexpr std::size_t locator_size = 20;
constexpr std::size_t off_zip64_eocd = 8;
constexpr std::size_t zip64_eocd_size = 56;
constexpr std::size_t off_zip64_cd_size = 40;
constexpr std::size_t off_zip64_cd_offset = 48;
constexpr std::size_t cd_entry_size = 46;
constexpr std::size_t off_cd_compressed = 20;
constexpr std::size_t off_cd_uncompressed = 24;
constexpr std::size_t off_cd_name_length = 28;
constexpr std::size_t off_cd_extra_length = 30;
constexpr std::size_t off_cd_comment_length = 32;
constexpr std::size_t off_cd_local_offset = 42;
constexpr std::string_view eocd_signature{"PK\x05\x06", 4};
constexpr std::string_view locator_signature{"PK\x06\x07", 4};
constexpr std::string_view zip64_eocd_signature{"PK\x06\x06", 4};
constexpr std::string_view cd_signature{"PK\x01\x02", 4};

// Replaces the 32-bit values that a header marks as 0xFFFFFFFF with the 64-bit
// ones of the Zip64 extra block, which holds only the marked ones, in the order
// given (uncompressed, compressed, then the local header offset). Values the
// extra block does not hold are taken as 0.
void apply_zip64_values(std::string_view extra, std::initializer_list<std::uint64_t*> values) {
  std::vector<std::uint64_t*> wanted;
  for (std::uint64_t* value : values) {
    if (*value != zip64_marker) continue;
    *value = 0;
    wanted.push_back(value);
  }
  if (wanted.empty()) return;
  const ByteCursor x(std::span(extra.data(), extra.size()));
  for (std::size_t at = 0; x.has(at, 4);) {
    const std::uint16_t id = x.u16le(at);
    const std::uint16_t size = x.u16le(at + 2);
    if (id == zip64_extra_id) {
      std::size_t field = at + 4;
      for (std::uint64_t* value : wanted) {
        if (!x.has(field, 8) || field + 8 > at + 4 + size) return;
        *value = x.u64le(field);
        field += 8;
      }
      return;
    }
    at += 4 + std::size_t{size};
  }
}

struct CentralSizes {
  std::uint64_t local_offset = 0;
  std::uint64_t compressed = 0;
  std::uint64_t uncompressed = 0;
};

// The sizes of every entry of the central directory, by the offset of its local
// header, sorted; empty when the archive has no readable central directory.
// Offsets are corrected by the bytes in front of the archive (a self-extractor's
// stub), which the directory does not count.
std::vector<CentralSizes> read_central_directory(ArchiveStream& archive) {
  std::vector<CentralSizes> entries;
  const std::uint64_t size = archive.size();
  if (size < eocd_size) return entries;
  const std::uint64_t tail_start = size > max_eocd_search ? size - max_eocd_search : 0;
  std::string tail(static_cast<std::size_t>(size - tail_start), '\0');
  if (!archive.read_at(tail_start, tail)) return entries;
  const std::size_t eocd = tail.rfind(eocd_signature);
  if (eocd == std::string::npos || tail.size() - eocd < eocd_size) return entries;
  const ByteCursor e{std::span<const char>(tail).subspan(eocd, eocd_size)};
  std::uint64_t cd_size = e.u32le(off_cd_size);
  std::uint64_t cd_offset = e.u32le(off_cd_offset);
  const std::uint64_t eocd_position = tail_start + eocd;
  std::uint64_t cd_end = eocd_position;

  if (eocd_position >= locator_size) {
    std::array<char, locator_size> locator{};
    std::array<char, zip64_eocd_size> record{};
    if (archive.read_at(eocd_position - locator_size, locator) &&
        std::string_view(locator.data(), 4) == locator_signature) {
      const std::uint64_t at = ByteCursor(locator).u64le(off_zip64_eocd);
      if (at <= size - zip64_eocd_size && archive.read_at(at, record) &&
          std::string_view(record.data(), 4) == zip64_eocd_signature) {
        cd_size = ByteCursor(record).u64le(off_zip64_cd_size);
        cd_offset = ByteCursor(record).u64le(off_zip64_cd_offset);
        cd_end = eocd_position - locator_size;
      }
    }
  }
  if (cd_size > cd_end || cd_size > max_central_directory) return entries;
  const std::uint64_t cd_start = cd_end - cd_size;
  if (cd_offset > cd_start) return entries;
  const std::uint64_t stub = cd_start - cd_offset;

  // Read in one piece: the directory lies inside the file, whose size bounds it.
  std::string cd(static_cast<std::size_t>(cd_size), '\0');
  if (!archive.read_at(cd_start, cd)) return entries;
  const ByteCursor c(cd);
  for (std::size_t at = 0; c.has(at, cd_entry_size) && c.bytes(at, 4) == cd_signature;) {
    CentralSizes entry;
    entry.compressed = c.u32le(at + off_cd_compressed);
    entry.uncompressed = c.u32le(at + off_cd_uncompressed);
    entry.local_offset = c.u32le(at + off_cd_local_offset);
    const std::size_t name_length = c.u16le(at + off_cd_name_length);
    const std::size_t extra_length = c.u16le(at + off_cd_extra_length);
    const std::size_t comment_length = c.u16le(at + off_cd_comment_length);
    apply_zip64_values(c.bytes(at + cd_entry_size + name_length, extra_length),
                       {&entry.uncompressed, &entry.compressed, &entry.local_offset});
    entry.local_offset += stub;
    entries.push_back(entry);
    at += cd_entry_size + name_length + extra_length + comment_length; // always forward
  }
  std::sort(entries.begin(), entries.end(),
            [](const CentralSizes& a, const CentralSizes& b) { return a.local_offset < b.local_offset; });
  return entries;
}

// The central directory, read once when a member first needs it.
class CentralDirectory {
public:
  explicit CentralDirectory(ArchiveStream& archive) : archive_(archive) {}
  std::optional<CentralSizes> sizes_of(std::uint64_t local_offset) {
    if (!read_) {
      entries_ = read_central_directory(archive_);
      read_ = true;
    }
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), local_offset,
                                     [](const CentralSizes& e, std::uint64_t offset) { return e.local_offset < offset; });
    if (it == entries_.end() || it->local_offset != local_offset) return std::nullopt;
    return *it;
  }

private:
  ArchiveStream& archive_;
  bool read_ = false;
  std::vector<CentralSizes> entries_;
};

} // namespace

void read_zip_members(ArchiveFrame& frame) {
  ArchiveStream& archive = frame.archive;
  std::array<char, fixed_part> fixed{};
  std::string name(0xFFFF, '\0');
  CentralDirectory central(archive);

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
      apply_zip64_values(extra, {&uncompressed, &compressed});
    }
    if ((h.u16le(off_flags) & flag_data_descriptor) && compressed == 0) {
      // The sizes follow the data; the central directory has them.
      if (const auto found = central.sizes_of(start)) {
        compressed = found->compressed;
        uncompressed = found->uncompressed;
      }
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
                      is_registered_method(h.u16le(off_method)));

    if (compressed > archive.size() || !archive.seek_to(data_start + compressed)) return; // truncated
  }
}

} // namespace shelvo
