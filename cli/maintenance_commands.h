// shelvo-cli's maintenance of a catalog: deleting a volume, importing another
// catalog, exporting the volumes of a listing. The questions the window asks in
// boxes are asked on the terminal, or answered all at once by --yes or --no.
#pragma once

#include "cli/command_line.h"

namespace shelvo {

// Runs the maintenance command of cl on the catalog its elements name; returns
// the exit status.
int run_maintenance_command(const CommandLine& cl);

} // namespace shelvo
