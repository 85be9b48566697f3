// ARJ: the main header, then one local header per member, each followed by its
// compressed data; a header whose basic size is 0 ends the archive.
#include <array>
#include <string>

#include "platform/dos_time.h"
#include "scanner/archive_frame.h"
#include "scanner/byte_cursor.h"

namespace shelvo {

namespace {

// Header, offsets from the identifier:
//
//   0  2  identifier 0x60 0xEA
//   2  2  basic header size B (0: end of archive; at most 2600)
//   4  1  first-header size F: 30, 34 (extended file position) or 46 (ARJ 2.50
//         and later: access and creation times)
//   7  1  host OS (2 = UNIX, 8 = NeXT: the access mode is a Unix mode there,
//         and the date-time a Unix time)
//  12  4  date-time modified: DOS form, or a Unix time as the host OS says
//  16  4  compressed size
//  20  4  original size
//  30  2  file access mode (DOS attributes, at most 0x2F)
//  4+F    file name, zero-terminated, then the comment, zero-terminated
//  4+B 4  header CRC; then extended headers (2-byte size, data, 4-byte CRC)
//         until a size of 0; then the compressed data
constexpr std::size_t off_basic_size = 2;
constexpr std::size_t off_first_size = 4;
constexpr std::size_t off_host_os = 7;
constexpr std::size_t off_date_time = 12;
constexpr std::size_t off_compressed = 16;
constexpr std::size_t off_original = 20;
constexpr std::size_t off_access_mode = 30;
constexpr std::size_t fixed_part = 34;  // offsets 0-33, what every file header has
constexpr std::size_t max_basic_size = 2600;
constexpr std::uint8_t host_unix = 2;
constexpr std::uint8_t host_next = 8;
constexpr std::uint16_t max_dos_attributes = 0x2F;
constexpr std::string_view arj_identifier{"\x60\xEA", 2};

// The position after the CRC and the extended headers that follow a basic header
// ending at position; the end of the archive when they run past it.
std::uint64_t skip_extended_headers(ArchiveStream& archive, std::uint64_t position) {
  // Each extended header advances by at least 6 bytes, so the walk ends.
  for (;;) {
    std::array<char, 2> size_bytes{};
    if (!archive.read_at(position, size_bytes)) return archive.size();
    const std::uint16_t size = ByteCursor(size_bytes).u16le(0);
    position += 2;
    if (size == 0) return position;
    position += std::uint64_t{size} + 4;
  }
}

// The DOS date-time a member is recorded with: the header's own, or, where ARJ
// wrote a Unix time, that time's local date and time (as for the files of a
// volume; times outside what a DOS date holds are clamped).
std::uint32_t dos_date_time_of(std::uint32_t stored, bool unix_time) {
  if (!unix_time) return stored;
  const DosDateTime dos = dos_date_time_from_unix(static_cast<std::time_t>(stored));
  return (std::uint32_t{dos.date} << 16) | dos.time;
}

} // namespace

void read_arj_members(ArchiveFrame& frame) {
  ArchiveStream& archive = frame.archive;
  std::array<char, 4 + max_basic_size> header{};

  // The main header (the archive's own name and comment) is stepped over whole,
  // so a comment can never be mistaken for a member.
  if (!archive.read_at(0, std::span(header).first(4))) return;
  const std::uint16_t main_size = ByteCursor(std::span(header).first(4)).u16le(off_basic_size);
  if (main_size == 0 || main_size > max_basic_size) return;
  if (!archive.seek_to(skip_extended_headers(archive, 4 + std::uint64_t{main_size} + 4))) return;

  while (find_signature(arj_identifier, archive) == 1) {
    const std::uint64_t start = archive.position() - 2;
    if (!archive.read_at(start, std::span(header).first(fixed_part))) return; // truncated
    const std::uint16_t basic_size = ByteCursor(std::span(header).first(fixed_part)).u16le(off_basic_size);
    if (basic_size == 0) return; // end of archive
    if (basic_size > max_basic_size || 4 + std::size_t{basic_size} < fixed_part) {
      // Not a header after all (bytes of data that happen to match): search on.
      archive.seek_to(start + 2);
      continue;
    }
    const std::span<char> whole = std::span(header).first(4 + std::size_t{basic_size});
    if (!archive.read_at(start, whole)) return;
    const ByteCursor h(whole);

    const std::uint32_t compressed = h.u32le(off_compressed);
    const std::uint32_t original = h.u32le(off_original);
    if (compressed != 0 || original != 0) { // directories and empty files are not recorded
      const std::size_t name_offset = 4 + std::size_t{h.u8(off_first_size)};
      const bool made_on_unix = h.u8(off_host_os) == host_unix || h.u8(off_host_os) == host_next;
      const bool plausible = h.u8(off_first_size) >= off_access_mode && name_offset <= whole.size() &&
                             (made_on_unix || h.u16le(off_access_mode) <= max_dos_attributes);
      frame.take_member(h.rest(name_offset), original, dos_date_time_of(h.u32le(off_date_time), made_on_unix),
                        plausible);
    }

    const std::uint64_t data = skip_extended_headers(archive, start + whole.size() + 4);
    const std::uint64_t next = data + compressed;
    if (!archive.seek_to(next)) return; // the data runs past the end: truncated
  }
}

} // namespace shelvo
