// LZH (LHA, LArc): one header per member, each followed by its compressed data,
// a zero byte at the end. Headers come in levels 0 to 3, and one archive may mix
// levels 0, 1 and 2.
#include <array>
#include <string>

#include "platform/dos_time.h"
#include "scanner/archive_frame.h"
#include "scanner/byte_cursor.h"

namespace shelvo {

namespace {

// Common to all levels, offsets from the first byte of the header:
//
//   2  5  method, "-lh?-" or "-lz?-" ("-lhd-": a directory); the search looks
//         for "-l" at offset 2
//   7  4  compressed size (level 1: includes the extended headers)
//  11  4  original size
//  15  4  level 0, 1: DOS time (low 16 bits) and date (high 16 bits)
//         level 2, 3: Unix time
//  20  1  header level
constexpr std::size_t off_method_letter = 4; // 'h' or 'z'
constexpr std::size_t off_method_end = 6;    // '-'
constexpr std::size_t off_method_kind = 5;   // 'd' for a directory
constexpr std::size_t off_compressed = 7;
constexpr std::size_t off_original = 11;
constexpr std::size_t off_time = 15;
constexpr std::size_t off_level = 20;
constexpr std::size_t common_part = 22; // offsets 0-21
constexpr std::string_view method_signature{"-l", 2};

// Level 0 and 1:
//
//   0  1  header size S (the header is S + 2 bytes; level 1: without the
//         extended headers, which follow it and count as compressed data)
//  21  1  name length N
//  22  N  file name (may be followed by a zero and a comment)
//  22+N 2 CRC; level 1: OS id (1) and the size of the first extended header (2)
constexpr std::size_t off_short_size = 0;
constexpr std::size_t off_name_length = 21;
constexpr std::size_t off_name = 22;

// Level 2:
//
//   0  2  total header size T, extended headers included (LHA for OS-9/68k,
//         operating system 'K', states it two bytes short)
//  23  1  operating system
//  24  2  size of the first extended header (0: none)
//  26     extended headers: type (1), data, size of the next one (2); the size
//         counts all three. Type 0x01 holds the file name.
constexpr std::size_t off_total_size = 0;
constexpr std::size_t off_os = 23;
constexpr std::uint8_t os_os9_68k = 'K';
constexpr std::size_t os9_missing_bytes = 2;
constexpr std::size_t off_first_extension = 24;
constexpr std::size_t level2_minimum = 26;
constexpr std::uint8_t extension_file_name = 0x01;
constexpr std::size_t extension_overhead = 3;

// Level 3 (a 32-bit layout that LHA rarely wrote):
//
//  24  4  total header size
constexpr std::size_t off_level3_total_size = 24;
constexpr std::size_t level3_minimum = 28;

// The file name of a level-2 header from its extended headers; empty when it
// has none (a directory entry).
std::string_view level2_file_name(const ByteCursor& h) {
  std::size_t size = h.u16le(off_first_extension);
  std::size_t at = level2_minimum;
  // Every extended header is at least three bytes long, so the walk ends.
  while (size >= extension_overhead && h.has(at, size)) {
    if (h.u8(at) == extension_file_name) return h.bytes(at + 1, size - extension_overhead);
    at += size;
    size = h.u16le(at - 2);
  }
  return {};
}

} // namespace

void read_lzh_members(ArchiveFrame& frame) {
  ArchiveStream& archive = frame.archive;
  std::array<char, common_part> common{};
  std::string level2(0xFFFF + os9_missing_bytes, '\0');

  while (find_signature(method_signature, archive) == 1) {
    const std::uint64_t after_signature = archive.position();
    if (after_signature < 4) continue; // "-l" at the very start cannot be a method
    const std::uint64_t start = after_signature - 4;
    if (!archive.read_at(start, common)) return; // truncated
    const ByteCursor c(common);
    const char letter = static_cast<char>(c.u8(off_method_letter));
    const std::uint8_t level = c.u8(off_level);
    if ((letter != 'h' && letter != 'z') || c.u8(off_method_end) != '-' || level > 3) {
      archive.seek_to(after_signature); // not a header: search on
      continue;
    }
    const std::uint32_t compressed = c.u32le(off_compressed);
    const std::uint32_t original = c.u32le(off_original);
    // Directories (and the symbolic links LHA stores as directory entries) hold
    // nothing; a level-1 directory still has a packed size: its extended headers.
    const bool directory = c.u8(off_method_kind) == 'd';
    const bool empty = directory || (compressed == 0 && original == 0);
    std::uint64_t header_length = 0;

    if (level == 0 || level == 1) {
      header_length = std::uint64_t{c.u8(off_short_size)} + 2;
      const std::size_t name_length = c.u8(off_name_length);
      const std::size_t after_name = level == 0 ? 2 : 5;
      if (header_length < off_name + name_length + after_name) {
        archive.seek_to(after_signature);
        continue;
      }
      if (!empty) {
        std::array<char, 255> name{};
        if (!archive.read_at(start + off_name, std::span(name).first(name_length))) return;
        frame.take_member(std::string_view(name.data(), name_length), original, c.u32le(off_time), true);
      }
    } else if (level == 2) {
      header_length = c.u16le(off_total_size);
      if (header_length < level2_minimum) {
        archive.seek_to(after_signature);
        continue;
      }
      std::span<char> whole = std::span(level2).first(header_length);
      if (!archive.read_at(start, whole)) return;
      if (ByteCursor(whole).u8(off_os) == os_os9_68k) {
        header_length += os9_missing_bytes;
        whole = std::span(level2).first(header_length);
        if (!archive.read_at(start, whole)) return;
      }
      if (!empty) {
        const DosDateTime dos = dos_date_time_from_unix(static_cast<std::time_t>(c.u32le(off_time)));
        frame.take_member(level2_file_name(ByteCursor(whole)), original,
                          (std::uint32_t{dos.date} << 16) | dos.time, true);
      }
    } else {
      // Level 3 is reported rather than guessed at: its fields are not the ones
      // above, and a wrong guess would be recorded as a plausible member.
      std::array<char, 4> total{};
      if (!archive.read_at(start + off_level3_total_size, total)) return;
      header_length = ByteCursor(total).u32le(0);
      if (!empty) frame.report_broken();
      if (header_length < level3_minimum) return; // cannot step past it
    }

    const std::uint64_t next = start + header_length + compressed;
    if (!archive.seek_to(next)) return; // truncated
  }
}

} // namespace shelvo
