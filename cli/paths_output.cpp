#include "cli/paths_output.h"

#include "catalog/catalog_store.h"
#include "cli/messages.h"
#include "results/printable_text.h"
#include "results/run_state.h"
#include "results/status_lines.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>

namespace shelvo {

namespace {

constexpr std::size_t block_size = 1 << 16;

char* put_two_digits(char* p, unsigned value) {
  *p++ = static_cast<char>('0' + value / 10 % 10);
  *p++ = static_cast<char>('0' + value % 10);
  return p;
}

} // namespace

PathsOutput::PathsOutput(int fd, bool null_terminated, bool with_volume_numbers, bool line_at_a_time,
                         bool host_paths)
    : fd_(fd), terminator_(null_terminated ? '\0' : '\n'), with_volume_numbers_(with_volume_numbers),
      line_at_a_time_(line_at_a_time), host_paths_(host_paths) {
  buffer_.reserve(block_size + 4096);
}

NodeId PathsOutput::add_volume_node(std::string_view label, std::int32_t volume_number, VolumeNodeMode mode) {
  label = label_without_padding(label);
  label_.clear();
  append_printable_utf8(label_, label);
  volume_number_ = volume_number;
  last_directory_.clear();
  prefix_valid_ = false;
  if (host_paths_) {
    roots_ = mounted_.roots_of(label);
    finders_.resize(roots_.size());
  }
  if (mode == VolumeNodeMode::listing) show_volume_count();
  else refresh_search_status();
  return 0;
}

NodeId PathsOutput::add_directory_path(std::string_view path) {
  path = up_to_nul(path);
  if (path.empty()) path = "\\";
  if (!reader_gone_ && write_error_ == 0 && !names_ancestor_of_last(path)) {
    last_directory_ = path;
    if (host_paths_) {
      write_host_lines(path, {}, "\t\t", 2);
    } else {
      append_prefix(path);
      end_line("\t\t", 2);
    }
  }
  refresh_search_status();
  return 0;
}

NodeId PathsOutput::add_found_file(std::string_view directory_path, std::string_view name, std::int32_t size,
                                   std::uint16_t dos_date, std::uint16_t dos_time) {
  if (!reader_gone_ && write_error_ == 0) {
    // "\tSIZE\tYYYY-MM-DD HH:MM", the DOS fields as stored.
    std::array<char, 48> tail{};
    char* p = tail.data();
    *p++ = '\t';
    p = std::to_chars(p, tail.data() + 16, size).ptr;
    *p++ = '\t';
    p = std::to_chars(p, p + 4, 1980 + (dos_date >> 9)).ptr;
    *p++ = '-';
    p = put_two_digits(p, (dos_date >> 5) & 15u);
    *p++ = '-';
    p = put_two_digits(p, dos_date & 31u);
    *p++ = ' ';
    p = put_two_digits(p, dos_time >> 11);
    *p++ = ':';
    p = put_two_digits(p, (dos_time >> 5) & 63u);
    const auto length = static_cast<std::size_t>(p - tail.data());
    if (host_paths_) {
      write_host_lines(directory_path, name, tail.data(), length);
    } else {
      append_prefix(directory_path);
      append_printable_utf8(buffer_, name);
      end_line(tail.data(), length);
    }
  }
  refresh_search_status();
  return 0;
}

NodeId PathsOutput::add_file_line(std::string_view directory_path, std::string_view name, std::int32_t size,
                                  unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute) {
  // Only a two-digit year is known here; DOS dates run from 1980.
  const unsigned full_year = year >= 80 ? 1900 + year : 2000 + year;
  const auto dos_date = static_cast<std::uint16_t>(((full_year - 1980) & 127u) << 9 | (month & 15u) << 5 | (day & 31u));
  const auto dos_time = static_cast<std::uint16_t>((hour & 31u) << 11 | (minute & 63u) << 5);
  return add_found_file(directory_path, name, size, dos_date, dos_time);
}

bool PathsOutput::names_ancestor_of_last(std::string_view path) const {
  if (last_directory_.empty()) return false;
  if (path == "\\") return true;
  const std::string_view last = last_directory_;
  return last.starts_with(path) && (last.size() == path.size() || last[path.size()] == '\\');
}

void PathsOutput::append_prefix(std::string_view directory_path) {
  directory_path = up_to_nul(directory_path);
  // Hits come directory by directory: the prefix is built once for each.
  if (!prefix_valid_ || directory_path != prefix_directory_) {
    prefix_directory_ = directory_path;
    prefix_ = label_;
    prefix_ += ':';
    if (directory_path.empty() || directory_path.front() != '\\') prefix_ += '\\';
    append_printable_utf8(prefix_, directory_path);
    if (prefix_.back() != '\\') prefix_ += '\\';
    prefix_valid_ = true;
  }
  buffer_ += prefix_;
}

void PathsOutput::write_host_lines(std::string_view directory_path, std::string_view name, const char* tail,
                                   std::size_t length) {
  if (roots_.empty()) {
    ++left_out_.not_mounted;
    return;
  }
  directory_path = up_to_nul(directory_path);
  bool found = false;
  bool through_file = false;
  for (std::size_t i = 0; i < roots_.size(); ++i) {
    switch (finders_[i].find(roots_[i], directory_path, name, host_path_)) {
    case HostPathFinder::Outcome::found: break;
    case HostPathFinder::Outcome::through_file: through_file = true; continue;
    case HostPathFinder::Outcome::missing: continue;
    }
    found = true;
    if (name.empty() && host_path_.back() != '/') host_path_ += '/'; // a directory
    // A terminal is shown what it can show safely; a pipe gets the bytes.
    if (line_at_a_time_) host_path_ = terminal_safe(host_path_);
    if (terminator_ == '\0') {
      // For xargs -0: the path alone, byte for byte.
      buffer_ += host_path_;
      buffer_ += '\0';
      ++lines_written_;
      if (line_at_a_time_ || buffer_.size() >= block_size) write_buffer();
      continue;
    }
    const std::size_t start = buffer_.size();
    buffer_ += host_path_;
    for (std::size_t k = start; k < buffer_.size(); ++k) {
      const auto byte = static_cast<unsigned char>(buffer_[k]);
      if (byte < 0x20 || byte == 0x7F) buffer_[k] = '?';
    }
    end_line(tail, length);
  }
  if (!found) ++(through_file ? left_out_.in_archives : left_out_.missing);
}

void PathsOutput::end_line(const char* tail, std::size_t length) {
  ++lines_written_;
  buffer_.append(tail, length);
  if (with_volume_numbers_) {
    std::array<char, 8> digits{};
    digits[0] = '\t';
    const char* end = std::to_chars(digits.data() + 1, digits.data() + digits.size(), volume_number_).ptr;
    buffer_.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
  }
  buffer_ += terminator_;
  if (line_at_a_time_ || buffer_.size() >= block_size) write_buffer();
}

void PathsOutput::write_buffer() {
  std::size_t done = 0;
  while (done < buffer_.size() && !reader_gone_ && write_error_ == 0) {
    // At most 1 GiB a call, which every host's write takes (Windows' counts in 32 bits).
    const auto length = static_cast<unsigned>(std::min<std::size_t>(buffer_.size() - done, 1u << 30));
    const auto n = ::write(fd_, buffer_.data() + done, length);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      // Either way the search has nothing left to do: ask it to stop after the
      // volume under way. The front end tells a stop asked by the user apart.
      if (n < 0 && errno == EPIPE) reader_gone_ = true;
      else write_error_ = n < 0 ? errno : EIO;
      stop_flag = 1;
    }
  }
  buffer_.clear();
}

bool PathsOutput::finish() {
  write_buffer();
  return write_error_ == 0;
}

} // namespace shelvo
