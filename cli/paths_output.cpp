#include "cli/paths_output.h"

#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/tree_text_output.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>

namespace shelvo {

namespace {

constexpr std::size_t block_size = 1 << 16;

// The UTF-8 of every Windows-1252 byte as the tree shows it (controls as '?'),
// looked up once per byte: the lines are written at the search's speed.
class PrintableBytes {
public:
  PrintableBytes() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const char ch = static_cast<char>(byte);
      text_[byte] = printable_utf8(std::string_view(&ch, 1));
    }
  }
  void append(std::string& out, std::string_view cp1252_text) const {
    for (char ch : cp1252_text) {
      const auto byte = static_cast<unsigned char>(ch);
      if (byte >= 0x20 && byte < 0x7F) out += ch;
      else out += text_[byte];
    }
  }

private:
  std::array<std::string, 256> text_;
};

const PrintableBytes& printable_bytes() {
  static const PrintableBytes table;
  return table;
}

void append_number(std::string& out, long value) {
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  out.append(digits.data(), static_cast<std::size_t>(end - digits.data()));
}

void append_two_digits(std::string& out, unsigned value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

} // namespace

PathsOutput::PathsOutput(int fd, bool null_terminated, bool with_volume_numbers, bool line_at_a_time)
    : fd_(fd), terminator_(null_terminated ? '\0' : '\n'), with_volume_numbers_(with_volume_numbers),
      line_at_a_time_(line_at_a_time) {
  buffer_.reserve(block_size + 4096);
}

NodeId PathsOutput::add_volume_node(std::string_view label, std::int16_t volume_number, VolumeNodeMode mode) {
  label = label.substr(0, label.find('\0'));
  label = label.substr(0, label.find_last_not_of(' ') + 1); // npos + 1 == 0: all blanks
  label_.clear();
  printable_bytes().append(label_, label);
  volume_number_ = volume_number;
  if (mode == VolumeNodeMode::listing) show_volume_count();
  else refresh_search_status();
  return 0;
}

NodeId PathsOutput::add_directory_path(std::string_view path) {
  if (!reader_gone_ && write_error_ == 0) {
    start_line(path);
    buffer_ += "\t\t";
    end_line();
  }
  refresh_search_status();
  return 0;
}

NodeId PathsOutput::add_found_file(std::string_view directory_path, std::string_view name, std::int32_t size,
                                   std::uint16_t dos_date, std::uint16_t dos_time) {
  if (!reader_gone_ && write_error_ == 0) {
    start_line(directory_path);
    printable_bytes().append(buffer_, name);
    buffer_ += '\t';
    append_number(buffer_, size);
    buffer_ += '\t';
    append_number(buffer_, 1980L + (dos_date >> 9));
    buffer_ += '-';
    append_two_digits(buffer_, (dos_date >> 5) & 15u);
    buffer_ += '-';
    append_two_digits(buffer_, dos_date & 31u);
    buffer_ += ' ';
    append_two_digits(buffer_, dos_time >> 11);
    buffer_ += ':';
    append_two_digits(buffer_, (dos_time >> 5) & 63u);
    end_line();
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

void PathsOutput::start_line(std::string_view directory_path) {
  buffer_ += label_;
  buffer_ += ':';
  directory_path = directory_path.substr(0, directory_path.find('\0'));
  if (directory_path.empty() || directory_path.front() != '\\') buffer_ += '\\';
  printable_bytes().append(buffer_, directory_path);
  if (buffer_.back() != '\\') buffer_ += '\\';
}

void PathsOutput::end_line() {
  if (with_volume_numbers_) {
    buffer_ += '\t';
    append_number(buffer_, volume_number_);
  }
  buffer_ += terminator_;
  if (line_at_a_time_ || buffer_.size() >= block_size) write_buffer();
}

void PathsOutput::write_buffer() {
  std::size_t done = 0;
  while (done < buffer_.size() && !reader_gone_ && write_error_ == 0) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
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
