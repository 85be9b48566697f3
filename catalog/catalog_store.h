// The catalog store: volume-file names, the header, and the records of a volume
// file. volume_file_format.md beside this file describes the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_access.h"

namespace shelvo {

constexpr std::size_t label_length = 15;
constexpr unsigned char volume_format_byte = 5;
constexpr std::size_t header_length = label_length + 1;

// "00000007.KTL" for 7.
std::string volume_file_name(long number);

// The volume-file path of number in a catalog directory ("C:\CAT" or "C:\CAT\").
std::string volume_file_path(std::string_view catalog_directory, long number);

// Advances the 8-digit number before the last '.' of a volume-file path by one,
// in place, carrying into the digits to its left.
void next_volume_file(std::string& path);

// The number of a volume-file path (the eight digits before ".KTL"), or -1.
long volume_number_of(std::string_view path);

struct VolumeHeader {
  std::string label;        // up to 15 bytes, as read; empty for an empty file
  unsigned char format = 0; // 0 when the file has no format byte
};

// Catalog text (a label, a name, a path) up to its first 0x00: the catalog's
// strings end at a NUL, and a byte after one was never part of them, so a
// damaged record never carries a 0x00 into a node or a message.
std::string_view up_to_nul(std::string_view text);
// A label as a user types it: up to its first 0x00, its blank padding removed.
std::string_view label_without_padding(std::string_view label_bytes);

// Reads up to 15 label bytes and one format byte from the start of a volume file.
VolumeHeader read_volume_header(File& file);
// The label bytes alone, for readers that may skip the rest of the volume.
std::string read_volume_label(File& file);

// Writes the 15 label bytes (padded with blanks) and the format byte 5.
bool write_volume_header(File& file, std::string_view label);

// Version text of a format byte: "v2" + marker + number ("v2.2" for 5).
char version_marker(unsigned char format);
int version_number(unsigned char format);
std::string listing_version_text(unsigned char format);
// "v2" + marker + number, as appended to a listed volume's label.
std::string version_suffix(char marker, int number);

// Record encoders; each appends the record's bytes to out.
// Directory record: eight 0x00, the path, 0x00.
void encode_directory_record(std::string& out, std::string_view path);
// The largest size a record holds: the field has 31 bits. A file of 2 GiB or
// more is stored as this, so it shows as "2 GiB or more", never as a small file.
constexpr std::uint32_t max_record_size = 0x7FFFFFFF;

// File or member record: name, 0x00, size (big-endian, capped at
// max_record_size), DOS date and DOS time (big-endian), 0x00.
void encode_file_record(std::string& out, std::string_view name, std::uint64_t size, std::uint16_t dos_date,
                        std::uint16_t dos_time);
// The opening of an archive block, written before its members: 0x01 "xxxxyyyy".
void encode_archive_block_opening(std::string& out);
// The length and count that replace the placeholders, both little-endian.
void encode_archive_block_counts(std::string& out, std::uint32_t length, std::uint32_t count);

constexpr std::size_t directory_record_overhead = 9; // path length + 9
constexpr std::size_t file_record_overhead = 10;     // name length + 10
constexpr std::size_t archive_block_header = 9;      // marker, length, count

} // namespace shelvo
