#include "results/result_tree.h"

#include "catalog/catalog_store.h"
#include "results/status_lines.h"

#include <algorithm>

namespace shelvo {

namespace {

unsigned two_digits(unsigned value) { return value > 99 ? 99 : value; }

} // namespace

namespace {

// The parts of a file line at a depth: the name (cut so that the line fits),
// the spaces after it, and its length.
struct FileLineShape {
  std::string_view name;
  std::size_t spaces = 0;
  std::size_t length = 0;
};

FileLineShape shape_of_file_line(std::string_view name, unsigned depth) {
  name = up_to_nul(name);
  // Up to depth 6 the name is padded to 64 characters and followed by three
  // spaces per level above 6, even after a longer name; from depth 7 it is padded
  // to 81 - 3 * depth characters, which leaves nothing to pad from depth 27 on.
  const std::size_t fixed_spaces = depth <= 6 ? 3 * (6 - depth) : 0;
  const std::size_t padded_width = depth <= 6 ? 64 : (depth >= 27 ? 0 : 81 - 3 * depth);
  const std::size_t longest_name = max_line_length - file_line_columns_width - fixed_spaces;
  if (name.size() > longest_name) name = name.substr(0, longest_name);
  FileLineShape shape;
  shape.name = name;
  shape.spaces = (name.size() < padded_width ? padded_width - name.size() : 0) + fixed_spaces;
  shape.length = name.size() + shape.spaces + file_line_columns_width;
  return shape;
}

// "%10lu %02u/%02u/%02u %02u:%02u", written by hand: a line is formatted for
// every hit, and the C library's formatter took a quarter of a large tree's time.
// "00" to "99", so that a number is written two digits at a time.
constexpr std::array<char, 200> make_digit_pairs() {
  std::array<char, 200> pairs{};
  for (std::size_t n = 0; n < 100; ++n) {
    pairs[2 * n] = static_cast<char>('0' + n / 10);
    pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
  }
  return pairs;
}
constexpr std::array<char, 200> digit_pairs = make_digit_pairs();

void write_columns(char* out, std::uint32_t size, unsigned day, unsigned month, unsigned year, unsigned hour,
                   unsigned minute) {
  const auto two = [](char* at, unsigned value) {
    const char* pair = digit_pairs.data() + 2 * two_digits(value);
    at[0] = pair[0];
    at[1] = pair[1];
  };
  char* digit = out + 10;
  for (; size >= 100; size /= 100) {
    digit -= 2;
    two(digit, size % 100);
  }
  if (size >= 10) {
    digit -= 2;
    two(digit, size);
  } else {
    *--digit = static_cast<char>('0' + size);
  }
  std::fill(out, digit, ' ');
  out[10] = ' ';
  two(out + 11, day);
  out[13] = '/';
  two(out + 14, month);
  out[16] = '/';
  two(out + 17, year);
  out[19] = ' ';
  two(out + 20, hour);
  out[22] = ':';
  two(out + 23, minute);
}

// Writes the line of that shape; out holds shape.length characters.
void write_file_line(char* out, const FileLineShape& shape, std::int32_t size, unsigned day, unsigned month,
                     unsigned year, unsigned hour, unsigned minute) {
  std::copy(shape.name.begin(), shape.name.end(), out);
  std::fill_n(out + shape.name.size(), shape.spaces, ' ');
  // Sizes read from a catalog hold 31 bits (the reader clears bit 31, however
  // damaged the record), so a negative size comes only from another caller of
  // the tree: its 32 bits are shown as unsigned, which still fits 10 digits and
  // keeps the columns where the tree actions expect them.
  write_columns(out + shape.name.size() + shape.spaces, static_cast<std::uint32_t>(size), day, month, year, hour,
                minute);
}

} // namespace

std::string format_file_line(std::string_view name, unsigned depth, std::int32_t size, unsigned day,
                             unsigned month, unsigned year, unsigned hour, unsigned minute) {
  const FileLineShape shape = shape_of_file_line(name, depth);
  std::string line(shape.length, ' ');
  write_file_line(line.data(), shape, size, day, month, year, hour, minute);
  return line;
}

ResultTree::ResultTree() { path_nodes_.fill(no_node); }

ResultTree::~ResultTree() = default;

std::uint32_t ResultTree::child_count(NodeId node) const {
  if (node == no_node) return static_cast<std::uint32_t>(top_level_.size());
  const std::uint32_t list = nodes_[node].children;
  return list == no_children ? 0 : static_cast<std::uint32_t>(child_lists_[list].size());
}

NodeId ResultTree::child(NodeId node, std::uint32_t row) const {
  if (node == no_node) return top_level_[row];
  return child_lists_[nodes_[node].children][row];
}

ResultTree::TextParts ResultTree::text_parts(NodeId node) const {
  const NodeRecord& record = nodes_[node];
  if (record.text_length == 0) return {};
  const char* stored = stored_text(record);
  if (!(record.text_length & compact_line)) return {{stored, record.text_length}, 0, {}};
  const std::size_t length = record.text_length & ~compact_line;
  const std::size_t spaces = static_cast<unsigned char>(stored[0]) | static_cast<std::size_t>(static_cast<unsigned char>(stored[1])) << 8;
  return {{stored + 2, length - 2 - file_line_columns_width}, spaces,
          {stored + length - file_line_columns_width, file_line_columns_width}};
}

std::string_view ResultTree::text(NodeId node) const {
  NodeRecord& record = nodes_[node];
  if (record.text_length == 0) return {};
  if (record.text_length & compact_line) {
    // Written out in full once; the compact form stays where it is.
    const TextParts parts = text_parts(node);
    char* full = allocate_text(record, parts.name.size() + parts.spaces + parts.columns.size());
    std::copy(parts.name.begin(), parts.name.end(), full);
    std::fill_n(full + parts.name.size(), parts.spaces, ' ');
    std::copy(parts.columns.begin(), parts.columns.end(), full + parts.name.size() + parts.spaces);
  }
  return {stored_text(record), record.text_length};
}

std::vector<NodeId>& ResultTree::children_of(NodeId parent) {
  if (parent == no_node) return top_level_;
  NodeRecord& record = nodes_[parent];
  if (record.children == no_children) {
    record.children = static_cast<std::uint32_t>(child_lists_.size());
    child_lists_.emplace_back();
  }
  return child_lists_[record.children];
}

char* ResultTree::allocate_text(NodeRecord& record, std::size_t length) const {
  if (length == 0) {
    record.text_block = record.text_offset = record.text_length = 0; // never read: text() sees the length
    return nullptr;
  }
  if (text_block_size - last_block_used_ < length) {
    text_blocks_.push_back(std::make_unique_for_overwrite<char[]>(text_block_size));
    last_block_used_ = 0;
  }
  char* text = text_blocks_.back().get() + last_block_used_;
  record.text_block = static_cast<std::uint32_t>(text_blocks_.size() - 1);
  record.text_offset = static_cast<std::uint16_t>(last_block_used_);
  record.text_length = static_cast<std::uint16_t>(length);
  last_block_used_ += length;
  return text;
}

void ResultTree::store_text(NodeRecord& record, std::string_view text) {
  text = text.substr(0, max_line_length + 16);
  if (char* at = allocate_text(record, text.size())) std::copy(text.begin(), text.end(), at);
}

template <class WriteText>
NodeId ResultTree::append_node(NodeId parent, std::size_t text_length, std::int32_t number, WriteText write_text,
                               std::uint16_t flags) {
  std::vector<NodeId>& siblings = children_of(parent);
  const auto row = static_cast<std::uint32_t>(siblings.size());
  if (observer_) observer_->node_about_to_be_appended(parent, row);
  const auto id = static_cast<NodeId>(nodes_.size());
  NodeRecord record{parent, row, number, 0, 0, 0, no_children};
  if (char* text = allocate_text(record, text_length)) write_text(text);
  record.text_length |= flags;
  nodes_.push_back(record);
  siblings.push_back(id);
  if (observer_) observer_->node_appended(parent, row);
  return id;
}

NodeId ResultTree::append_node(NodeId parent, std::string_view text, std::int32_t number) {
  text = text.substr(0, max_line_length + 16);
  return append_node(parent, text.size(), number, [&](char* at) { std::copy(text.begin(), text.end(), at); });
}

void ResultTree::forget_path_below(std::size_t depth) {
  std::fill(path_nodes_.begin() + static_cast<std::ptrdiff_t>(depth + 1), path_nodes_.end(), no_node);
}

NodeId ResultTree::add_volume_node(std::string_view label, std::int32_t volume_number, VolumeNodeMode mode) {
  label = up_to_nul(label).substr(0, max_line_length);
  const NodeId node = append_node(no_node, label, volume_number);
  path_nodes_[0] = node;
  forget_path_below(0);
  last_path_valid_ = false;
  switch (mode) {
  case VolumeNodeMode::listing:
    show_volume_count();
    break;
  case VolumeNodeMode::search:
    refresh_search_status();
    break;
  }
  return node;
}

void ResultTree::append_volume_version(char marker, int number) {
  const NodeId volume = path_nodes_[0];
  if (volume == no_node) return;
  std::string grown(text(volume));
  grown += version_suffix(marker, number);
  if (grown.size() > max_line_length) grown.resize(max_line_length);

  NodeRecord& record = nodes_[volume];
  const bool text_ends_arena = !text_blocks_.empty() && record.text_block == text_blocks_.size() - 1 &&
                               record.text_offset + record.text_length == last_block_used_;
  if (text_ends_arena && grown.size() - record.text_length <= text_block_size - last_block_used_) {
    // The usual case (a listing appends the suffix right after the node): grow in place.
    char* block = text_blocks_.back().get();
    std::copy(grown.begin() + record.text_length, grown.end(), block + last_block_used_);
    last_block_used_ += grown.size() - record.text_length;
    record.text_length = static_cast<std::uint16_t>(grown.size());
  } else {
    store_text(record, grown);
  }
  if (observer_) observer_->node_text_changed(volume);
}

NodeId ResultTree::add_directory_path(std::string_view path) {
  path = up_to_nul(path).substr(0, max_directory_path_length);
  // Hits come directory by directory: the nodes of the path last handled are
  // still the remembered ones.
  if (last_path_valid_ && path == last_path_) {
    refresh_search_status();
    return path_nodes_[path_depth_];
  }
  last_path_.assign(path);
  last_path_valid_ = true;
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);

  std::size_t depth = 1;
  while (!path.empty() && depth <= max_path_components) {
    const std::size_t end = std::min(path.find('\\'), path.size());
    const std::string_view component = path.substr(0, end);
    path.remove_prefix(std::min(end + 1, path.size()));
    // A doubled backslash names no directory; a hit there belongs to the same
    // directory as without it, and a node without a name could not be opened.
    if (component.empty()) continue;

    const NodeId remembered = path_nodes_[depth];
    if (remembered == no_node || text(remembered) != component) {
      path_nodes_[depth] = append_node(path_nodes_[depth - 1], component, 0);
      forget_path_below(depth);
    }
    ++depth;
  }
  refresh_search_status();
  path_depth_ = static_cast<std::uint16_t>(depth - 1);
  return path_nodes_[depth - 1];
}

NodeId ResultTree::add_file_line(std::string_view directory_path, std::string_view name, std::int32_t size,
                                 unsigned day, unsigned month, unsigned year, unsigned hour, unsigned minute) {
  const NodeId directory = add_directory_path(directory_path);
  // Written straight into the tree's text storage, without the spaces after the
  // name (nearly half of a line): this runs for every hit.
  const FileLineShape shape = shape_of_file_line(name, path_depth_);
  const std::size_t compact_length = 2 + shape.name.size() + file_line_columns_width;
  const NodeId line = append_node(directory, compact_length, size, [&](char* at) {
    at[0] = static_cast<char>(shape.spaces & 0xFF);
    at[1] = static_cast<char>(shape.spaces >> 8);
    std::copy(shape.name.begin(), shape.name.end(), at + 2);
    write_columns(at + 2 + shape.name.size(), static_cast<std::uint32_t>(size), day, month, year, hour, minute);
  }, compact_line);
  return line;
}

void ResultTree::clear_result_tree() {
  if (observer_) observer_->tree_about_to_be_cleared();
  // Swap with empty containers so a large search gives its memory back.
  nodes_.clear();
  std::vector<NodeId>().swap(top_level_);
  std::vector<std::vector<NodeId>>().swap(child_lists_);
  std::vector<std::unique_ptr<char[]>>().swap(text_blocks_);
  last_block_used_ = text_block_size;
  // The remembered nodes are gone with the tree; a stray directory path before
  // the next volume must not reach them.
  path_nodes_.fill(no_node);
  last_path_valid_ = false;
  if (observer_) observer_->tree_cleared();
}

void ResultTree::sort_children(NodeId parent, const std::function<bool(NodeId, NodeId)>& less) {
  if (parent != no_node && nodes_[parent].children == no_children) return;
  if (observer_) observer_->children_about_to_be_reordered(parent);
  std::vector<NodeId>& siblings = children_of(parent);
  std::stable_sort(siblings.begin(), siblings.end(), less);
  for (std::uint32_t row = 0; row < siblings.size(); ++row) nodes_[siblings[row]].row = row;
  if (observer_) observer_->children_reordered(parent);
}

std::size_t ResultTree::storage_bytes() const {
  std::size_t bytes = nodes_.storage_bytes() + top_level_.capacity() * sizeof(NodeId) +
                      child_lists_.capacity() * sizeof(std::vector<NodeId>) +
                      text_blocks_.capacity() * sizeof(std::unique_ptr<char[]>) +
                      text_blocks_.size() * text_block_size;
  for (const auto& list : child_lists_) bytes += list.capacity() * sizeof(NodeId);
  return bytes;
}

} // namespace shelvo
