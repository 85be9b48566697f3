#include "results/tree_actions.h"

#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "results/host_paths.h"
#include "results/run_state.h"

namespace shelvo {

namespace {

// Every list of siblings: the top level, then each node that has children.
void sort_every_list(ResultTree& tree, const std::function<bool(NodeId, NodeId)>& less) {
  tree.sort_children(no_node, less);
  for (NodeId node = 0; node < tree.node_count(); ++node)
    if (tree.child_count(node) > 1) tree.sort_children(node, less);
}

} // namespace

bool sort_refused() { return counters.found_files >= sort_file_limit || counters.found_dirs >= sort_dir_limit; }

void sort_tree_by_text(ResultTree& tree, const TextLess& ascending_less, bool reverse) {
  if (reverse)
    sort_every_list(tree, [&](NodeId a, NodeId b) { return tree.text(b) < tree.text(a); }); // bytes, unsigned
  else
    sort_every_list(tree, [&](NodeId a, NodeId b) { return ascending_less(tree.text(a), tree.text(b)); });
}

void sort_tree_by_number(ResultTree& tree, bool reverse) {
  if (reverse) sort_every_list(tree, [&](NodeId a, NodeId b) { return tree.number(a) > tree.number(b); });
  else sort_every_list(tree, [&](NodeId a, NodeId b) { return tree.number(a) < tree.number(b); });
}

std::string found_path_of(const ResultTree& tree, NodeId node, bool& is_directory) {
  is_directory = tree.number(node) == 0;
  std::string path;
  for (NodeId at = node; tree.parent(at) != no_node; at = tree.parent(at))
    path.insert(0, std::string(tree.text(at)) + "\\");
  if (!is_directory) {
    // The 25 columns and the final '\', then the name's padding.
    constexpr std::size_t columns_and_separator = file_line_columns_width + 1;
    if (path.size() > columns_and_separator) path.resize(path.size() - columns_and_separator);
    while (path.size() > 1 && path.back() == ' ') path.pop_back();
  }
  return path;
}

namespace {

// The archive that holds a member: the longest leading part of the member's
// directory that is a file on the drive.
std::string archive_holding(HostPathFinder& finder, const std::string& root, std::string_view directory) {
  std::string_view part = directory;
  while (!part.empty()) {
    const std::size_t last = part.find_last_of('\\');
    const std::string_view up = last == std::string_view::npos ? std::string_view() : part.substr(0, last);
    const std::string_view name = last == std::string_view::npos ? part : part.substr(last + 1);
    std::string host;
    if (!name.empty() && finder.find(root, up, name, host) == HostPathFinder::Outcome::found && path_exists(host) &&
        !directory_exists(host))
      return host;
    part = up;
  }
  return {};
}

} // namespace

int open_found_path(std::string_view relative_cp1252, bool is_directory, Launcher& launcher, OpenProblems* problems) {
  // "DIR\SUB\" names a directory, "DIR\SUB\NAME" a file of DIR\SUB.
  std::string_view directory = relative_cp1252;
  std::string_view name;
  if (const std::size_t last = directory.find_last_of('\\'); last == std::string_view::npos) {
    name = directory;
    directory = {};
  } else {
    name = directory.substr(last + 1);
    directory = directory.substr(0, last);
  }
  if (directory.find_first_not_of('\\') == std::string_view::npos && name.empty()) return 0;
  int opened = 0;
  HostPathFinder finder;
  std::string host;
  for (char letter = 'C'; letter <= 'Y'; ++letter) {
    const Drive* drive = drive_table().find(letter);
    if (!drive) continue;
    const HostPathFinder::Outcome found = finder.find(drive->directory, directory, name, host);
    // Not there as named: a member's path goes through its archive, a file (some
    // hosts say so, others only that the path is missing).
    if (found != HostPathFinder::Outcome::found && problems && problems->archive.empty() && !is_directory)
      problems->archive = archive_holding(finder, drive->directory, directory);
    if (found != HostPathFinder::Outcome::found || !path_exists(host)) continue;
    // An archive node is a file: opened as one, never as "ARCHIVE.ZIP/".
    if (is_directory && directory_exists(host)) host += "/";
    if (launcher.open_with_desktop(host)) ++opened;
    else if (problems) problems->failed.push_back(host);
  }
  return opened;
}

} // namespace shelvo
