// The arguments of shelvo-cli: its own "--" flags, and the elements it passes to
// the engine, checked before the engine sees them.
#pragma once

#include <string>
#include <vector>

#include "engine/argument_vector.h"

namespace shelvo {

struct CommandLine {
  bool help = false;
  bool version = false;
  bool drives = false;  // print the drive table
  bool verbose = false; // announce each archive read
  bool numbers = false; // append each node's number
  ArgumentVector vector; // element 0 is the program
  std::string error;     // set on a usage error
};

// Splits argv into tool flags and engine elements. Search and volume masks are
// converted from the terminal's UTF-8 to Windows-1252, as catalogs store names.
// An element longer than 63 characters, more than 31 search masks or 31 volume
// masks, or an unknown "--" flag is a usage error: nothing is ever cut silently.
CommandLine parse_command_line(int argc, const char* const* argv);

std::string usage_text();

} // namespace shelvo
