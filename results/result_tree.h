// The result tree: a forest of volume nodes, directory nodes and file lines, each
// with a text and a signed 32-bit number. Plain C++: a front end shows it through
// an adapter (an item model) that reads it in place and listens to a
// ResultTreeObserver. Nodes are only appended, moved by sorting, or all removed at
// once, so a NodeId stays valid until the next clear.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_sink.h"

namespace shelvo {

// Longest directory path handled; longer paths are cut to this many characters.
constexpr std::size_t max_directory_path_length = 511;
// Deepest path handled; components past this depth are ignored.
constexpr std::size_t max_path_components = 255;
// Longest node text; a longer label is cut, and a file name is cut so that its
// padding and the columns still fit.
constexpr std::size_t max_line_length = 3071;
// The size and date columns at the end of every file line.
constexpr std::size_t file_line_columns_width = 25;

// The text of a file line whose parent is at the given depth (volume = 0): the
// name padded to the field width of that depth, then
// "%10ld %02d/%02d/%02d %02d:%02d". The columns are always the last 25
// characters: a negative size is shown as its unsigned 32-bit value and a date or
// time field above 99 as 99. Never longer than max_line_length.
std::string format_file_line(std::string_view name, unsigned depth, std::int32_t size, unsigned day,
                             unsigned month, unsigned year, unsigned hour, unsigned minute);

// Told of every change to a ResultTree, before and after it happens, so an item
// model can announce it to its views. parent is no_node for the top level. All
// default to doing nothing.
class ResultTreeObserver {
public:
  virtual ~ResultTreeObserver() = default;
  virtual void node_about_to_be_appended(NodeId /*parent*/, std::uint32_t /*row*/) {}
  virtual void node_appended(NodeId /*parent*/, std::uint32_t /*row*/) {}
  // The text of an existing node grew (a listed volume's version suffix).
  virtual void node_text_changed(NodeId /*node*/) {}
  virtual void children_about_to_be_reordered(NodeId /*parent*/) {}
  virtual void children_reordered(NodeId /*parent*/) {}
  virtual void tree_about_to_be_cleared() {}
  virtual void tree_cleared() {}
};

class ResultTree final : public ResultSink {
public:
  ResultTree();
  ~ResultTree() override;
  ResultTree(const ResultTree&) = delete;
  ResultTree& operator=(const ResultTree&) = delete;

  // --- The operations the engine's passes call ---

  // Appends a top-level node with the label (cut at a NUL or max_line_length)
  // and the number, makes it the current volume, forgets the remembered path,
  // and refreshes the status line of the mode.
  NodeId add_volume_node(std::string_view label, std::int32_t volume_number, VolumeNodeMode mode) override;
  // Appends "v2%c%d" to the current volume's text; nothing without one.
  void append_volume_version(char marker, int number) override;
  // Reuses the remembered node of each depth whose text equals the component,
  // creates the rest, refreshes the search line; returns the deepest node (the
  // current volume for a path without components). Empty components ("\\") are
  // skipped; see max_directory_path_length and max_path_components.
  NodeId add_directory_path(std::string_view path) override;
  // add_directory_path, then one file line (format_file_line) as the last child
  // of the node it returned, numbered with the size.
  NodeId add_file_line(std::string_view directory_path, std::string_view name, std::int32_t size, unsigned day,
                       unsigned month, unsigned year, unsigned hour, unsigned minute) override;
  // Removes every node and releases their memory. The remembered path nodes are
  // emptied with them; path_depth keeps its value.
  void clear_result_tree() override;

  // --- Reading the tree (what an item model needs); all O(1) ---

  // Nodes ever added since the last clear; ids run from 0 to node_count() - 1.
  std::size_t node_count() const { return nodes_.size(); }
  bool contains(NodeId node) const { return node < nodes_.size(); }
  // The parent, or no_node for a top-level node. node must be contained.
  NodeId parent(NodeId node) const { return nodes_[node].parent; }
  // Position among its parent's children (or among the top-level nodes).
  std::uint32_t row(NodeId node) const { return nodes_[node].row; }
  // Children of node; no_node stands for the invisible root of the top level.
  std::uint32_t child_count(NodeId node) const;
  // The child at row (< child_count(node)); no_node as parent for the top level.
  NodeId child(NodeId node, std::uint32_t row) const;
  std::uint32_t top_level_count() const { return child_count(no_node); }
  NodeId top_level(std::uint32_t row) const { return child(no_node, row); }
  // Valid until the node's text grows or the tree is cleared.
  std::string_view text(NodeId node) const;
  // The text in three parts that follow one another: for a file line its name,
  // the spaces after it and its columns; for any other node the whole text and
  // nothing else. Valid as long as text(); cheaper, as the tree keeps a file line
  // without its spaces until text() is first asked for it.
  struct TextParts {
    std::string_view name;
    std::size_t spaces = 0;
    std::string_view columns;
  };
  TextParts text_parts(NodeId node) const;
  std::int32_t number(NodeId node) const { return nodes_[node].number; }

  // --- Path memory ---

  // Components of the directory path last handled (0: the volume node itself).
  std::uint16_t path_depth() const { return path_depth_; }
  // The node remembered for a depth (0: current volume), or no_node.
  NodeId path_node(std::size_t depth) const { return depth < path_nodes_.size() ? path_nodes_[depth] : no_node; }

  // --- Reordering (the tree's sort actions) ---

  // Stable-sorts the children of parent (no_node: the top level) by less.
  // Remembered path nodes stay valid: nodes move, none is removed.
  void sort_children(NodeId parent, const std::function<bool(NodeId, NodeId)>& less);

  // The observer told of every change; nullptr (the default) for none. Not owned.
  void set_observer(ResultTreeObserver* observer) { observer_ = observer; }

  // Bytes held by the tree's own storage (records, texts, child lists).
  std::size_t storage_bytes() const;

private:
  // 24 bytes per node; the text lives in the arena, child lists only in
  // directory and volume nodes.
  struct NodeRecord {
    NodeId parent;
    std::uint32_t row;
    std::int32_t number;
    std::uint32_t text_block;
    std::uint16_t text_offset;
    std::uint16_t text_length;
    std::uint32_t children; // index into child_lists_, or no_children
  };
  static constexpr std::uint32_t no_children = 0xFFFFFFFFu;
  // In text_length: the text is a file line kept without its spaces, as their
  // count (two bytes), the name, then the columns.
  static constexpr std::uint16_t compact_line = 0x8000;
  static_assert(max_line_length + 16 < compact_line);
  // Texts never span blocks, so a block must hold the longest text.
  static constexpr std::size_t text_block_size = 65536;
  static_assert(max_line_length + 16 < text_block_size);

  NodeId append_node(NodeId parent, std::string_view text, std::int32_t number);
  // The same with a text of the given length written in place by write_text(char*),
  // and flags for its length (compact_line).
  template <class WriteText>
  NodeId append_node(NodeId parent, std::size_t text_length, std::int32_t number, WriteText write_text,
                     std::uint16_t flags = 0);
  std::vector<NodeId>& children_of(NodeId parent);
  // Room for a text in the arena (nullptr for an empty one); sets the record's location.
  char* allocate_text(NodeRecord& record, std::size_t length) const;
  const char* stored_text(const NodeRecord& record) const {
    return text_blocks_[record.text_block].get() + record.text_offset;
  }
  // Copies text into the arena; sets the record's location.
  void store_text(NodeRecord& record, std::string_view text);
  void forget_path_below(std::size_t depth);

  // The node records in chunks of a fixed size, so that a growing tree never
  // copies the records it has (nor holds room for as many again).
  class NodeStore {
  public:
    NodeRecord& operator[](NodeId id) { return chunks_[id / chunk_size][id % chunk_size]; }
    const NodeRecord& operator[](NodeId id) const { return chunks_[id / chunk_size][id % chunk_size]; }
    std::size_t size() const { return size_; }
    void push_back(const NodeRecord& record) {
      if (size_ == chunks_.size() * chunk_size) chunks_.push_back(std::make_unique_for_overwrite<NodeRecord[]>(chunk_size));
      chunks_.back()[size_++ % chunk_size] = record;
    }
    void clear() {
      std::vector<std::unique_ptr<NodeRecord[]>>().swap(chunks_);
      size_ = 0;
    }
    std::size_t storage_bytes() const {
      return chunks_.size() * chunk_size * sizeof(NodeRecord) + chunks_.capacity() * sizeof(chunks_[0]);
    }

  private:
    static constexpr std::size_t chunk_size = 1 << 16;
    std::vector<std::unique_ptr<NodeRecord[]>> chunks_;
    std::size_t size_ = 0;
  };

  // Mutable because text() writes a file line out in full the first time it is
  // asked for; nothing a reader of the tree sees changes.
  mutable NodeStore nodes_;
  std::vector<NodeId> top_level_;
  std::vector<std::vector<NodeId>> child_lists_;
  mutable std::vector<std::unique_ptr<char[]>> text_blocks_;
  mutable std::size_t last_block_used_ = text_block_size; // forces a block on first use

  std::array<NodeId, max_path_components + 1> path_nodes_;
  std::uint16_t path_depth_ = 0;
  // The directory path last handled, whose nodes path_nodes_ holds.
  std::string last_path_;
  bool last_path_valid_ = false;

  ResultTreeObserver* observer_ = nullptr;
};

} // namespace shelvo
