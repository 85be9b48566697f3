// The arguments of shelvo-cli: its own flags, and the elements it passes to the
// engine, checked before the engine sees them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/argument_vector.h"

namespace shelvo {

struct CommandLine {
  bool help = false;     // --help or -h
  bool version = false;
  bool drives = false;   // print the drive table
  bool verbose = false;  // announce each archive read
  bool numbers = false;  // append each node's number
  bool paths = false;    // one hit per line instead of the tree
  bool null = false;     // --paths lines end with a NUL byte
  bool host = false;     // --paths lines name the files on this machine
  bool no_arguments = false; // nothing at all was given: show the usage
  // Maintenance: one of them per call.
  std::optional<long> delete_number; // --delete N
  std::string import_from;           // --import DIR
  std::string export_to;             // --export DIR
  int answer_all = 0;                // --yes: 1, --no: -1, else ask
  // --label L, as typed: with --delete the label volume N must have, with --add
  // the label the directory's volume gets.
  std::optional<std::string> label;
  bool maintenance() const { return delete_number || !import_from.empty() || !export_to.empty(); }
  bool index = false;    // --index: make the catalog's search index current, and nothing else
  bool no_index = false; // --no-index: read every volume whole, write nothing to the cache
  std::string add_directory; // --add DIR: a directory of this machine to add, as given
  ArgumentVector vector; // element 0 is the program
  // The index of the first element given after "--": from there on every
  // element is a search mask, whatever it starts with. 0 when there is none.
  std::size_t masks_from = 0;
  // One line per element that the engine ignores or cuts, saying what it takes
  // the element for. The engine keeps its reading; the user is told.
  std::vector<std::string> warnings;
  std::string error; // set on a usage error
};

// Splits argv into tool flags and engine elements. Arguments starting with "--"
// are the tool's own, and so are "-h" (help) and "-0" (--null, which implies
// --paths); "--" alone ends them, and every argument after it is a search mask.
// Search and volume masks are converted from the terminal's UTF-8 to
// Windows-1252, as catalogs store names. An element longer than 63 characters,
// more than 31 search masks or 31 volume masks, or an unknown "--" flag is a
// usage error. So is a maintenance command with any element but one /l: and
// (for --export) volume masks, with an element it would ignore or read otherwise
// than written, or with a flag of the search's output: it would do something
// else than it says; and so are --yes with --no, either without a maintenance
// command, --label given twice, --add with a drive element, and --index with any
// element but /l:.
CommandLine parse_command_line(int argc, const char* const* argv);

// Puts the drive element of a letter ("X:") among the engine's elements, before
// the masks that followed "--".
void add_drive_element(CommandLine& cl, char letter);

// An argument as a message shows it, in single quotes, made terminal_safe, and
// past 60 characters the first 60, "..." and the length.
std::string quoted_argument(std::string_view arg);

std::string usage_text();

} // namespace shelvo
