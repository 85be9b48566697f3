// Memory and speed of the result tree when a search shows 200,000 hits: bytes
// per node of the compact tree (file lines kept without their padding) against a
// straightforward tree of individually allocated nodes holding std::string
// texts, the time to build each, the time to print the compact tree with the
// command line's printer, and the compact tree's bytes once every text was asked
// for.
#include "results/result_tree.h"
#include "results/tree_text_output.h"

#include <malloc.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using shelvo::NodeId;

constexpr int file_lines = 200000;

// Deterministic hits in the catalog's depth-first order: a few volumes, paths of
// one to five upper-case components, 5 to 200 files per directory, names of 12 to
// 40 characters with an extension.
class HitSource {
public:
  struct Hit {
    bool new_volume = false;
    std::string label;
    std::string path;
    std::string name;
    std::int32_t size = 0;
  };
  bool next(Hit& hit) {
    if (produced_ == file_lines) return false;
    hit.new_volume = produced_ % 50000 == 0;
    if (hit.new_volume) hit.label = "BACKUP" + std::to_string(produced_ / 50000) + "        ";
    if (left_in_directory_ == 0) {
      left_in_directory_ = 5 + random() % 196;
      const unsigned depth = 1 + random() % 5;
      hit.path.clear();
      for (unsigned d = 0; d < depth; ++d) hit.path += "\\" + word(3 + random() % 10);
    }
    --left_in_directory_;
    static const char* const extensions[] = {".TXT", ".JPG", ".DOC", ".ZIP", ".MP3", ".PDF"};
    hit.name = word(8 + random() % 29) + extensions[random() % 6];
    hit.size = static_cast<std::int32_t>(random() % 50000000);
    ++produced_;
    return true;
  }

private:
  unsigned random() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<unsigned>(state_ >> 33);
  }
  std::string word(unsigned length) {
    std::string text;
    for (unsigned i = 0; i < length; ++i) text += static_cast<char>(i % 7 == 6 ? '_' : 'A' + random() % 26);
    return text;
  }
  std::uint64_t state_ = 42;
  int produced_ = 0;
  unsigned left_in_directory_ = 0;
};

// The straightforward tree: one heap node per entry, same path memory.
struct PlainNode {
  std::string text;
  std::int32_t number = 0;
  PlainNode* parent = nullptr;
  std::vector<std::unique_ptr<PlainNode>> children;
};

struct PlainTree {
  std::vector<std::unique_ptr<PlainNode>> volumes;
  std::vector<PlainNode*> path_nodes = std::vector<PlainNode*>(256, nullptr);
  std::size_t nodes = 0;

  PlainNode* append(PlainNode* parent, std::string text, std::int32_t number) {
    auto node = std::make_unique<PlainNode>();
    node->text = std::move(text);
    node->number = number;
    node->parent = parent;
    PlainNode* raw = node.get();
    (parent ? parent->children : volumes).push_back(std::move(node));
    ++nodes;
    return raw;
  }
  void add_volume(const std::string& label) {
    path_nodes.assign(256, nullptr);
    path_nodes[0] = append(nullptr, label, 0);
  }
  void add_file_line(std::string_view path, std::string_view name, std::int32_t size) {
    std::size_t depth = 1;
    while (!path.empty()) {
      if (path.front() == '\\') path.remove_prefix(1);
      const std::size_t end = std::min(path.find('\\'), path.size());
      const std::string_view component = path.substr(0, end);
      path.remove_prefix(end);
      if (!path_nodes[depth] || path_nodes[depth]->text != component) {
        path_nodes[depth] = append(path_nodes[depth - 1], std::string(component), 0);
        std::fill(path_nodes.begin() + static_cast<std::ptrdiff_t>(depth) + 1, path_nodes.end(), nullptr);
      }
      ++depth;
    }
    append(path_nodes[depth - 1], shelvo::format_file_line(name, static_cast<unsigned>(depth - 1), size, 1, 2, 3, 4, 5),
           size);
  }
};

// Bytes handed out by malloc, large (mapped) blocks included.
std::size_t heap_in_use() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

long resident_kib() {
  std::FILE* status = std::fopen("/proc/self/statm", "r");
  if (!status) return 0;
  long pages = 0, resident = 0;
  if (std::fscanf(status, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(status);
  return resident * 4;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
  HitSource::Hit hit;

  // The compact tree.
  const std::size_t heap_before = heap_in_use();
  const long rss_before = resident_kib();
  auto start = std::chrono::steady_clock::now();
  auto tree = std::make_unique<shelvo::ResultTree>();
  HitSource source;
  std::size_t text_bytes = 0;
  while (source.next(hit)) {
    if (hit.new_volume) tree->add_volume_node(hit.label, 0, shelvo::VolumeNodeMode::search);
    const NodeId line = tree->add_file_line(hit.path, hit.name, hit.size, 1, 2, 3, 4, 5);
    const shelvo::ResultTree::TextParts parts = tree->text_parts(line);
    text_bytes += parts.name.size() + parts.spaces + parts.columns.size();
  }
  const double build_seconds = seconds_since(start);
  const std::size_t heap_tree = heap_in_use() - heap_before;
  const long rss_tree = resident_kib() - rss_before;
  const std::size_t nodes = tree->node_count();

  std::FILE* null_output = std::fopen("/dev/null", "w");
  if (!null_output) return 1;
  start = std::chrono::steady_clock::now();
  const bool printed = shelvo::write_tree(*tree, null_output, false);
  const double print_seconds = seconds_since(start);
  start = std::chrono::steady_clock::now();
  shelvo::write_tree(*tree, null_output, true);
  const double print_numbers_seconds = seconds_since(start);
  std::fclose(null_output);
  // A sort by name asks for every text, which writes each line out in full.
  for (NodeId node = 0; node < nodes; ++node) tree->text(node);
  const std::size_t heap_full = heap_in_use() - heap_before;
  tree.reset();

  // The straightforward tree on the same hits.
  const std::size_t plain_heap_before = heap_in_use();
  start = std::chrono::steady_clock::now();
  auto plain = std::make_unique<PlainTree>();
  HitSource plain_source;
  while (plain_source.next(hit)) {
    if (hit.new_volume) plain->add_volume(hit.label);
    plain->add_file_line(hit.path, hit.name, hit.size);
  }
  const double plain_build_seconds = seconds_since(start);
  const std::size_t plain_heap = heap_in_use() - plain_heap_before;
  const std::size_t plain_nodes = plain->nodes;

  std::printf("file lines               %d (average text %.1f characters)\n", file_lines,
              static_cast<double>(text_bytes) / file_lines);
  std::printf("nodes                    %zu compact, %zu straightforward\n", nodes, plain_nodes);
  std::printf("compact tree             %.1f bytes/node on the heap, %.1f bytes/node resident\n",
              static_cast<double>(heap_tree) / static_cast<double>(nodes),
              1024.0 * static_cast<double>(rss_tree) / static_cast<double>(nodes));
  std::printf("every text asked for     %.1f bytes/node on the heap (as after a sort, allowed up to 600 lines)\n",
              static_cast<double>(heap_full) / static_cast<double>(nodes));
  std::printf("straightforward tree     %.1f bytes/node on the heap (%.2fx the compact tree)\n",
              static_cast<double>(plain_heap) / static_cast<double>(plain_nodes),
              static_cast<double>(plain_heap) / static_cast<double>(heap_tree));
  std::printf("build                    %.3f s compact, %.3f s straightforward\n", build_seconds,
              plain_build_seconds);
  std::printf("print to /dev/null       %.3f s (%.0f lines/s), with numbers %.3f s%s\n", print_seconds,
              static_cast<double>(nodes) / print_seconds, print_numbers_seconds, printed ? "" : " WRITE FAILED");
  return printed ? 0 : 1;
}
