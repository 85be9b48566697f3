#include "results/tree_text_output.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace shelvo {

namespace {

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

bool write_tree(const ResultTree& tree, std::FILE* out, bool with_numbers) {
  BufferedOutput output(out);
  const auto write_node = [&](NodeId node, std::size_t level) {
    const ResultTree::TextParts text = tree.text_parts(node);
    constexpr std::size_t number_room = 16; // a tab, a 32-bit number, the newline
    char* at = output.room(2 * level + longest_printable_utf8 * (text.name.size() + text.columns.size()) +
                           text.spaces + number_room);
    at = std::fill_n(at, 2 * level, ' ');
    at = write_printable_utf8(at, text.name);
    at = std::fill_n(at, text.spaces, ' ');
    at = write_printable_utf8(at, text.columns);
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
