// What the user does with a finished result tree: sorting every sibling list,
// and recovering the path of a found directory or file to open it on whatever
// drive holds it now.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/launcher.h"
#include "results/result_tree.h"

namespace shelvo {

// Sorting is refused after a run with this many files or directories.
constexpr int sort_file_limit = 600;
constexpr int sort_dir_limit = 100;
constexpr std::string_view sort_refusal_text = "I'm Sorry but it will take too much time...";
// True when the counters of the last run forbid sorting.
bool sort_refused();

// Sorts the top-level nodes and the children of every node, each list by
// itself, keeping equal ones in their order. By text: ascending by
// ascending_less (the window's locale-aware comparison of the texts as the
// screen shows them), or with reverse descending by the bytes of the texts. By
// number: ascending, or descending with reverse.
using TextLess = std::function<bool(std::string_view, std::string_view)>;
void sort_tree_by_text(ResultTree& tree, const TextLess& ascending_less, bool reverse);
void sort_tree_by_number(ResultTree& tree, bool reverse);

// The path of a node below its volume, in the catalog's code page: for a
// directory node "DIR\SUB\", for a file line "DIR\SUB\NAME" (its 25 columns and
// the padding of its name cut off). A node numbered 0 counts as a directory.
// Empty for a volume node.
std::string found_path_of(const ResultTree& tree, NodeId node, bool& is_directory);

// What opening a found path could not do: the host paths that no program could
// be started for, and, for a member of an archive, the archive that holds it
// (its host path, on the first drive that has it).
struct OpenProblems {
  std::vector<std::string> failed;
  std::string archive;
};

// Opens the path on every drive from C to Y of the drive table that holds it,
// through the launcher; returns how many were opened. Names are found without
// regard to letter case or to the accents the catalog folds, since the catalog
// stores them upper-cased and folded (ETE finds été). A directory node that is
// a file on the drive (an archive whose members were found) opens as the file.
int open_found_path(std::string_view relative_cp1252, bool is_directory, Launcher& launcher,
                    OpenProblems* problems = nullptr);

} // namespace shelvo
