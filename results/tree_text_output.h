// The result tree as text for a terminal or a pipe: one node per line, two spaces
// of indent per level below the top, then the node's text in UTF-8. Names come
// from volumes and archives nobody vetted, so no control character ever reaches
// the output: each one is written as '?', and a node always stays one line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "results/result_tree.h"

namespace shelvo {

// Windows-1252 text as UTF-8, with every control character (0x00-0x1F, 0x7F, and
// the five codes that Windows-1252 leaves to the C1 controls) written as '?'.
std::string printable_utf8(std::string_view cp1252_text);

// Writes every node of the tree depth first, in row order; with with_numbers, a
// tab and the node's number follow its text. Returns false when out reported a
// write error (a full disk, a closed pipe).
bool write_tree(const ResultTree& tree, std::FILE* out, bool with_numbers);

} // namespace shelvo
