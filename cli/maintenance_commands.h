// shelvo-cli's maintenance of a catalog: deleting a volume, importing another
// catalog, exporting the volumes of a listing. The questions the window asks in
// boxes are asked on the terminal, or answered all at once by --yes or --no.
#pragma once

#include "cli/command_line.h"

namespace shelvo {

// What run_maintenance_command returns when a stop (stop_flag: a Ctrl-C, a kill,
// a closed terminal) cut its work short; the caller exits with the signal's
// status then. Work that was done when the stop came is no stop: its status is
// its own (a deleted volume stays deleted, and a script must not delete again).
constexpr int maintenance_stopped = -1;

// Runs the maintenance command of cl on the catalog its elements name; returns
// the exit status, or maintenance_stopped.
int run_maintenance_command(const CommandLine& cl);

} // namespace shelvo
