// RAR 1.5 to 4.x: a 7-byte marker, the archive header, then blocks of several
// types, each saying its own size. Only file blocks are listed; the others
// (comments, recovery records, old and new sub-blocks) are stepped over.
#include <array>
#include <string>

#include "scanner/archive_frame.h"
#include "scanner/byte_cursor.h"

namespace shelvo {

namespace {

// Every block, offsets from its first byte:
//
//   0  2  HEAD_CRC
//   2  1  HEAD_TYPE  (0x73 archive header, 0x74 file, 0x7B end of archive, ...)
//   3  2  HEAD_FLAGS (0x8000: ADD_SIZE present)
//   5  2  HEAD_SIZE  (the header, at least 7 bytes)
//   7  4  ADD_SIZE, bytes of data after the header (when flag 0x8000)
// The next block starts HEAD_SIZE + ADD_SIZE bytes further.
constexpr std::size_t off_type = 2;
constexpr std::size_t off_flags = 3;
constexpr std::size_t off_head_size = 5;
constexpr std::size_t off_add_size = 7;
constexpr std::size_t block_minimum = 7;
constexpr std::uint16_t flag_add_size = 0x8000;

constexpr std::uint8_t type_archive = 0x73;
constexpr std::uint8_t type_file = 0x74;
constexpr std::uint8_t type_new_sub = 0x7A; // laid out like a file block
constexpr std::uint8_t type_end = 0x7B;
constexpr std::uint16_t archive_flag_encrypted_headers = 0x80;

// File block (and new-style sub-block):
//
//   7  4  packed size (the block's ADD_SIZE)
//  11  4  unpacked size
//  20  4  DOS time (low 16 bits) and date (high 16 bits)
//  24  1  version needed to unpack, 9 to 29
//  25  1  method, '0' to '5'
//  26  2  name size
//  32  4  high 32 bits of the packed size   } when flag 0x100; the name then
//  36  4  high 32 bits of the unpacked size } starts at 40 instead of 32
//  32     file name (with flag 0x200: a name, a zero, then its Unicode form)
constexpr std::size_t off_packed = 7;
constexpr std::size_t off_unpacked = 11;
constexpr std::size_t off_date_time = 20;
constexpr std::size_t off_version = 24;
constexpr std::size_t off_method = 25;
constexpr std::size_t off_name_size = 26;
constexpr std::size_t off_high_packed = 32;
constexpr std::size_t off_high_unpacked = 36;
constexpr std::size_t off_name = 32;
constexpr std::size_t off_name_large = 40;
constexpr std::uint16_t file_flag_large = 0x100;

constexpr std::string_view rar4_marker{"Rar!\x1A\x07\x00", 7};

// A size of a file or new-style sub-block, with its high 32 bits when flagged.
std::uint64_t size_of(const ByteCursor& h, std::uint16_t flags, std::size_t low, std::size_t high) {
  std::uint64_t size = h.u32le(low);
  if (flags & file_flag_large) size |= std::uint64_t{h.u32le(high)} << 32;
  return size;
}

} // namespace

void read_rar_members(ArchiveFrame& frame) {
  ArchiveStream& archive = frame.archive;
  // RAR5 (marker "Rar!" 1A 07 01 00) and anything else after "Rar!" list nothing.
  std::array<char, 7> marker{};
  if (!archive.read_at(0, marker) || std::string_view(marker.data(), marker.size()) != rar4_marker) return;

  std::string header(0xFFFF, '\0');
  std::uint64_t position = rar4_marker.size();
  bool first = true;
  for (;;) {
    std::array<char, block_minimum + 4> fixed{};
    if (!archive.read_at(position, std::span(fixed).first(block_minimum))) return; // truncated
    const ByteCursor b(fixed);
    const std::uint8_t type = b.u8(off_type);
    const std::uint16_t flags = b.u16le(off_flags);
    const std::uint16_t head_size = b.u16le(off_head_size);
    if (head_size < block_minimum) return; // cannot step: the archive ends here

    if (first) {
      first = false;
      // Encrypted headers cannot be read without the password.
      if (type != type_archive || (flags & archive_flag_encrypted_headers)) return;
    }
    if (type == type_end) return;

    std::uint64_t step = head_size;
    if (type == type_file || type == type_new_sub) {
      const std::span<char> whole = std::span(header).first(head_size);
      if (!archive.read_at(position, whole)) return;
      const ByteCursor h(whole);
      const std::uint64_t packed = size_of(h, flags, off_packed, off_high_packed);
      if (type == type_file) {
        const std::uint8_t version = h.u8(off_version);
        const std::uint8_t method = h.u8(off_method);
        const std::size_t name_offset = (flags & file_flag_large) ? off_name_large : off_name;
        const std::size_t name_size = h.u16le(off_name_size);
        if (version < 9 || version > 29 || method < '0' || method > '5') return;
        if (!h.has(name_offset, name_size)) return; // the name does not fit its header
        if (h.u32le(off_packed) != 0 || h.u32le(off_unpacked) != 0 || (flags & file_flag_large))
          frame.take_member(h.bytes(name_offset, name_size), size_of(h, flags, off_unpacked, off_high_unpacked),
                            h.u32le(off_date_time), true);
      }
      if (packed > archive.size()) return; // data past the end; also keeps the sum below from wrapping
      step += packed;
    } else if (flags & flag_add_size) {
      if (!archive.read_at(position, std::span(fixed).first(block_minimum + 4))) return;
      step += ByteCursor(fixed).u32le(off_add_size);
    }

    if (step > archive.size() - position) return; // runs past the end: truncated
    position += step;
  }
}

} // namespace shelvo
