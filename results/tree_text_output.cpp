#include "results/tree_text_output.h"

#include "platform/code_page.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

namespace shelvo {

namespace {

bool is_control(unsigned char byte) {
  // 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no Windows-1252 character and map to
  // the C1 controls of the same value.
  return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
         byte == 0x9D;
}

// The first byte in [p, end) that is not printable ASCII (0x20-0x7E), eight
// bytes at a time; end when there is none.
const char* end_of_plain_run(const char* p, const char* end) {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  for (; end - p >= 8; p += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    // A byte below 0x20 or above 0x7E sets its high bit in one of the two.
    const std::uint64_t below = (word - 0x20 * ones) & ~word & highs;
    const std::uint64_t above = ((word + (0x7F - 0x7E) * ones) | word) & highs;
    if ((below | above) != 0) break;
  }
  while (p < end && static_cast<unsigned char>(*p) >= 0x20 && static_cast<unsigned char>(*p) < 0x7F) ++p;
  return p;
}

// The UTF-8 text of each Windows-1252 byte, controls already replaced: one table
// lookup per byte keeps a 200,000-line tree well under a second.
class PrintableTable {
public:
  PrintableTable() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const char ch = static_cast<char>(byte);
      utf8_[byte] = is_control(static_cast<unsigned char>(byte)) ? "?" : cp1252_to_utf8(std::string_view(&ch, 1));
    }
  }
  void append(std::string& out, std::string_view cp1252_text) const {
    const std::size_t used = out.size();
    out.resize(used + longest_utf8 * cp1252_text.size());
    out.resize(static_cast<std::size_t>(write(out.data() + used, cp1252_text) - out.data()));
  }
  // Writes the text at out, which has room for longest_utf8 bytes for each of
  // its bytes; returns the end of what it wrote.
  char* write(char* out, std::string_view cp1252_text) const {
    // Runs of printable ASCII, nearly all of every line, are copied at once.
    const char* p = cp1252_text.data();
    const char* const end = p + cp1252_text.size();
    while (p < end) {
      const char* const run = p;
      p = end_of_plain_run(p, end);
      out = std::copy(run, p, out);
      if (p < end) {
        const std::string& utf8 = utf8_[static_cast<unsigned char>(*p++)];
        out = std::copy(utf8.begin(), utf8.end(), out);
      }
    }
    return out;
  }
  static constexpr std::size_t longest_utf8 = 3; // of a Windows-1252 character

private:
  std::array<std::string, 256> utf8_;
};

const PrintableTable& printable_table() {
  static const PrintableTable table;
  return table;
}

// Lines written into a buffer of its own, passed on in large blocks.
class BufferedOutput {
public:
  explicit BufferedOutput(std::FILE* out) : out_(out), buffer_(flush_size + 8192) {}
  // Room for `length` more bytes.
  char* room(std::size_t length) {
    if (buffer_.size() - used_ < length) {
      flush();
      if (buffer_.size() < length) buffer_.resize(length);
    }
    return buffer_.data() + used_;
  }
  // The bytes up to end were written into the room.
  void wrote_up_to(const char* end) {
    used_ = static_cast<std::size_t>(end - buffer_.data());
    if (used_ >= flush_size) flush();
  }
  bool flush() {
    if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, out_) != used_) ok_ = false;
    used_ = 0;
    return ok_;
  }

private:
  static constexpr std::size_t flush_size = 1 << 16;
  std::FILE* out_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  bool ok_ = true;
};

} // namespace

std::string printable_utf8(std::string_view cp1252_text) {
  std::string out;
  out.reserve(cp1252_text.size());
  printable_table().append(out, cp1252_text);
  return out;
}

bool write_tree(const ResultTree& tree, std::FILE* out, bool with_numbers) {
  const PrintableTable& table = printable_table();
  BufferedOutput output(out);
  const auto write_node = [&](NodeId node, std::size_t level) {
    const ResultTree::TextParts text = tree.text_parts(node);
    constexpr std::size_t number_room = 16; // a tab, a 32-bit number, the newline
    char* at = output.room(2 * level + PrintableTable::longest_utf8 * (text.name.size() + text.columns.size()) +
                           text.spaces + number_room);
    at = std::fill_n(at, 2 * level, ' ');
    at = table.write(at, text.name);
    at = std::fill_n(at, text.spaces, ' ');
    at = table.write(at, text.columns);
    if (with_numbers) {
      *at++ = '\t';
      at = std::to_chars(at, at + number_room, tree.number(node)).ptr;
    }
    *at++ = '\n';
    output.wrote_up_to(at);
  };

  // Depth first without recursion: each frame is a node and its next child.
  struct Frame {
    NodeId node;
    std::uint32_t next_row;
  };
  std::vector<Frame> path;
  for (std::uint32_t row = 0; row < tree.top_level_count(); ++row) {
    const NodeId top = tree.top_level(row);
    write_node(top, 0);
    path.push_back({top, 0});
    while (!path.empty()) {
      Frame& frame = path.back();
      if (frame.next_row < tree.child_count(frame.node)) {
        const NodeId next = tree.child(frame.node, frame.next_row++);
        write_node(next, path.size());
        path.push_back({next, 0});
      } else {
        path.pop_back();
      }
    }
  }
  const bool written = output.flush();
  return std::fflush(out) == 0 && written;
}

} // namespace shelvo
