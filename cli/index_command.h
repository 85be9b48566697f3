// shelvo-cli --index, and what a search or an add says of the catalog's search
// index beside its own report.
#pragma once

#include "cli/command_line.h"

namespace shelvo {

// Makes the search index of the catalog that /l: names current; returns the
// exit status (0, or 1 when the catalog or the cache could not be had).
int run_index_command(const CommandLine& cl);

// After a search or an add: why the index could not be written (always said),
// and what was built (when the user watches the status line: shown).
void report_index(bool shown);

} // namespace shelvo
