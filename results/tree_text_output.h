// The result tree as text for a terminal or a pipe: one node per line, two spaces
// of indent per level below the top, then the node's text in UTF-8 as
// printable_text.h shows it (no control character, a node always one line).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "results/printable_text.h"
#include "results/result_tree.h"

namespace shelvo {

// Writes every node of the tree depth first, in row order; with with_numbers, a
// tab and the node's number follow its text. Returns false when out reported a
// write error (a full disk, a closed pipe).
bool write_tree(const ResultTree& tree, std::FILE* out, bool with_numbers);

} // namespace shelvo
