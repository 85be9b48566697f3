// The frame of the archive readers: recognition, the archive block around the
// member loop, the signature search, and the handling of member names.
#include "scanner/archive_scan.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"
#include "results/printable_text.h"
#include "results/run_state.h"
#include "platform/code_page.h"
#include "scanner/archive_frame.h"
#include "scanner/broken_archive_log.h"

namespace shelvo {

namespace {

std::FILE* announcements = nullptr;

enum class ArchiveFormat { none, arj, zip, lzh, rar };

struct FormatInfo {
  const char* announcement; // printf pattern of the "Scanning ..." line
  std::string_view log_word;
  void (*read_members)(ArchiveFrame&);
};

FormatInfo info_of(ArchiveFormat format) {
  switch (format) {
  case ArchiveFormat::arj: return {"Scanning Arj File %-61s\n", "Arj", read_arj_members};
  case ArchiveFormat::zip: return {"Scanning Zip File %-61s\n", "Zip", read_zip_members};
  case ArchiveFormat::lzh: return {"Scanning LZH File %-61s\n", "Lha", read_lzh_members};
  case ArchiveFormat::rar: return {"Scanning Rar File %-61s\n", "Rar", read_rar_members};
  case ArchiveFormat::none: break;
  }
  return {nullptr, {}, nullptr};
}

// The format of an archive from its first bytes; missing bytes count as 0. Only
// the first test that passes counts, so no file is ever read as two archives.
ArchiveFormat recognise(ArchiveStream& archive) {
  std::array<char, 7> head{};
  archive.read(head);
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
  if (b(0) == 0x60 && b(1) == 0xEA) return ArchiveFormat::arj;
  if (b(0) == 'P' && b(1) == 'K' && b(2) == 0x03 && b(3) == 0x04) return ArchiveFormat::zip;
  if (b(2) == '-' && b(3) == 'l' && (b(4) == 'h' || b(4) == 'z') && b(6) == '-') return ArchiveFormat::lzh;
  if (b(0) == 'R' && b(1) == 'a' && b(2) == 'r' && b(3) == '!') return ArchiveFormat::rar;
  return ArchiveFormat::none;
}

// True for the characters that no Windows file name may hold.
bool is_invalid_name_char(char c) {
  switch (c) {
  case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|': case '\\':
    return true;
  default:
    return false;
  }
}

} // namespace

void set_announcement_stream(std::FILE* stream) { announcements = stream; }

std::FILE* announcement_stream() { return announcements; }

bool ArchiveStream::seek_to(std::uint64_t target) {
  if (target > size()) return false;
  position_ = target;
  return true;
}

std::size_t ArchiveStream::read(std::span<char> out) {
  const std::size_t got = file_.read_at(position_, out);
  position_ += got;
  return got;
}

bool ArchiveStream::read_at(std::uint64_t target, std::span<char> out) {
  if (target > size() || out.size() > size() - target) return false;
  position_ = target;
  return read(out) == out.size();
}

int find_signature(std::string_view signature, ArchiveStream& stream) {
  if (signature.empty()) return 1;
  // matched = how many leading signature bytes end at the current byte. On a
  // mismatch the longest shorter prefix that still fits is tried, so a partial
  // match never hides a real one that starts inside it.
  std::size_t matched = 0;
  std::array<char, 16> block{};
  std::uint64_t block_start = stream.position();
  for (;;) {
    const std::size_t got = stream.read(block);
    if (got == 0) return 0;
    for (std::size_t i = 0; i < got; ++i) {
      const char c = block[i];
      while (matched > 0 && signature[matched] != c) {
        std::size_t shorter = matched - 1;
        // Largest k < matched with signature[0..k) a suffix of signature[0..matched).
        while (shorter > 0 && signature.substr(matched - shorter, shorter) != signature.substr(0, shorter)) --shorter;
        matched = shorter;
      }
      if (signature[matched] == c) ++matched;
      if (matched == signature.size()) {
        stream.seek_to(block_start + i + 1);
        return 1;
      }
    }
    block_start += got;
  }
}

std::size_t read_field(std::span<char> buffer, std::size_t element_size, std::size_t element_count,
                       ArchiveStream& stream, std::size_t limit) {
  const std::size_t field = element_size * element_count;
  limit = std::min(limit, buffer.size());
  if (field <= limit) return stream.read(buffer.first(field));
  if (announcements) std::fputs("*", announcements);
  const std::size_t got = stream.read(buffer.first(limit));
  if (got == limit) stream.seek_to(stream.position() + (field - limit));
  return got;
}

void ArchiveFrame::report_broken() {
  // The count is what the user is told about; it is raised even when the log
  // itself cannot be written.
  ++counters.broken_archives;
  log_broken_archive(logged_path, format_word);
}

void ArchiveFrame::take_member(std::string_view name_field, std::uint64_t size, std::uint32_t dos_date_time,
                               bool plausible) {
  const std::string_view name = name_field.substr(0, name_field.find('\0'));
  if (!plausible) {
    report_broken();
    return;
  }
  const std::string_view leaf = name.substr(leaf_of(name));
  // No record may start with 0x00 (a directory record) and an empty component
  // names nothing a user could search for: directory entries end here.
  if (leaf.empty()) return;
  if (std::any_of(leaf.begin(), leaf.end(), is_invalid_name_char) || leaf.front() == '\x01') {
    // 0x01 would read back as the start of an archive block.
    report_broken();
    return;
  }
  if (name.size() >= name_field_limit && announcements) std::fputs("*", announcements);

  // Archivers store names in the code page of the system that made them. A name
  // that is valid UTF-8 (current systems) is converted as the walk converts host
  // names; any other is kept as Windows-1252 bytes. The checks above ran on the
  // stored bytes, so a '?' standing for a character Windows-1252 lacks is not
  // taken for a broken header.
  std::string folded = utf8_to_cp1252(leaf);
  if (folded.size() > recorded_name_limit) folded.resize(recorded_name_limit);
  fold_name(folded);

  const std::uint32_t record_length = static_cast<std::uint32_t>(folded.size() + file_record_overhead);
  if (block_length > UINT32_MAX - record_length || member_count == UINT32_MAX) return; // the block is full

  std::string record;
  encode_file_record(record, folded, size,
                     static_cast<std::uint16_t>(dos_date_time >> 16), static_cast<std::uint16_t>(dos_date_time & 0xFFFF));
  write_record(record);
  block_length += record_length;
  ++member_count;
  ++counters.scanned_members;
}

namespace {

// Member records held back for one block before it goes out as it grows.
constexpr std::size_t largest_held_block = 1 << 20;

} // namespace

void ArchiveFrame::write_record(std::string_view record) {
  if (after_opening_ < 0 && held_.size() + record.size() <= largest_held_block) {
    held_.append(record);
    return;
  }
  if (after_opening_ < 0) {
    std::string opening;
    encode_archive_block_opening(opening);
    volume.write(opening);
    after_opening_ = volume.tell();
    volume.write(held_);
    held_.clear();
  }
  volume.write(record);
}

void ArchiveFrame::close_block() {
  std::string counts;
  encode_archive_block_counts(counts, block_length, member_count);
  if (after_opening_ < 0) {
    std::string block;
    encode_archive_block_opening(block);
    block.replace(1, block.size() - 1, counts); // the counts in place of the placeholders
    block += held_;
    volume.write(block);
    return;
  }
  // Patch the placeholders with what the loop wrote, then return to the end of
  // the block so the walk appends after it. The volume file is a regular file
  // opened for update: a seek there fails only with the stream itself, whose
  // writes then fail too, which the add pass sees.
  if (after_opening_ >= 8 && volume.seek(after_opening_ - 8, SEEK_SET)) {
    volume.write(counts);
    volume.seek(after_opening_ + static_cast<std::int64_t>(block_length), SEEK_SET);
  }
}

bool is_archive(const std::string& host_path) {
  WindowedFile file = WindowedFile::open_host(host_path);
  if (!file) return false;
  ArchiveStream archive(std::move(file));
  return recognise(archive) != ArchiveFormat::none;
}

int scan_archive(File& volume_file, const std::string& host_path, std::string_view logged_path) {
  WindowedFile file = WindowedFile::open_host(host_path);
  if (!file) return 0;
  ArchiveStream archive(std::move(file));

  const ArchiveFormat format = recognise(archive);
  if (format == ArchiveFormat::none) return -1;
  const FormatInfo info = info_of(format);

  if (announcements) std::fprintf(announcements, info.announcement, printable_utf8(logged_path).c_str());

  ArchiveFrame frame(archive, volume_file, logged_path, info.log_word);
  archive.seek_to(0);
  info.read_members(frame);
  frame.close_block();
  return 1;
}

} // namespace shelvo
