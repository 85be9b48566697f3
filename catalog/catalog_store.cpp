#include "catalog/catalog_store.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace shelvo {

std::string volume_file_name(long number) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%08ld.KTL", number);
  return text.data();
}

std::string volume_file_path(std::string_view catalog_directory, long number) {
  std::string path(catalog_directory);
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  return path + volume_file_name(number);
}

void next_volume_file(std::string& path) {
  if (path.size() < 2) return;
  std::size_t dot = path.size() - 1;
  while (dot >= 1 && path[dot] != '.') --dot;
  if (dot < 1 || path[dot] != '.') return;
  // Digits that overflow become '0' and carry to the left; there is no check
  // beyond the eighth digit, as the name has no room for a ninth.
  for (std::size_t i = dot; i-- > 0;) {
    if (path[i] >= '9') {
      path[i] = '0';
    } else {
      ++path[i];
      return;
    }
  }
}

long volume_number_of(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < 8) return -1;
  long n = 0;
  for (std::size_t i = dot - 8; i < dot; ++i) {
    if (path[i] < '0' || path[i] > '9') return -1;
    n = n * 10 + (path[i] - '0');
  }
  return n;
}

std::string_view up_to_nul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view label_without_padding(std::string_view label_bytes) {
  const std::string_view label = up_to_nul(label_bytes);
  return label.substr(0, label.find_last_not_of(' ') + 1); // npos + 1 == 0: all blanks
}

std::string read_volume_label(File& file) {
  std::array<char, label_length> bytes{};
  const std::size_t n = file.read(bytes);
  return std::string(bytes.data(), n);
}

VolumeHeader read_volume_header(File& file) {
  VolumeHeader header;
  header.label = read_volume_label(file);
  const int b = file.read_byte();
  header.format = b < 0 ? 0 : static_cast<unsigned char>(b);
  return header;
}

bool write_volume_header(File& file, std::string_view label) {
  std::string header(label.substr(0, label_length));
  header.resize(label_length, ' ');
  header += static_cast<char>(volume_format_byte);
  return file.write(header);
}

char version_marker(unsigned char format) { return (format % 2 == 1) ? '.' : '~'; }

int version_number(unsigned char format) { return format == 0 ? 0 : (format / 2) * 2 - 2; }

std::string version_suffix(char marker, int number) { return std::string("v2") + marker + std::to_string(number); }

std::string listing_version_text(unsigned char format) { return version_suffix(version_marker(format), version_number(format)); }

namespace {

void put_big_endian(std::string& out, std::uint32_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void put_little_endian(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

} // namespace

void encode_directory_record(std::string& out, std::string_view path) {
  out.append(8, '\0');
  out += path;
  out += '\0';
}

void encode_file_record(std::string& out, std::string_view name, std::uint64_t size, std::uint16_t dos_date,
                        std::uint16_t dos_time) {
  out += name;
  out += '\0';
  put_big_endian(out, static_cast<std::uint32_t>(std::min<std::uint64_t>(size, max_record_size)), 4);
  put_big_endian(out, dos_date, 2);
  put_big_endian(out, dos_time, 2);
  out += '\0';
}

void encode_archive_block_opening(std::string& out) {
  out += '\x01';
  out += "xxxxyyyy";
}

void encode_archive_block_counts(std::string& out, std::uint32_t length, std::uint32_t count) {
  put_little_endian(out, length);
  put_little_endian(out, count);
}

} // namespace shelvo
