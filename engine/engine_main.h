// The single entry of the catalog engine, shaped like a command-line main: it
// classifies the vector, opens or creates the catalog and runs one pass.
#pragma once

#include "engine/argument_vector.h"
#include "engine/front_end.h"

namespace shelvo {

// Return codes of engine_main.
constexpr int engine_ok = 1;               // the command ran (also: nothing found)
constexpr int engine_catalog_only = 0;     // nothing after the catalog location
constexpr int engine_failed = -1;          // no catalog, no volume information, or refused
constexpr int engine_cannot_create = -2;   // the new volume file could not be written
constexpr int engine_already_known = -421; // the volume is catalogued and no-overwrite was given

// Runs one command. count includes element 0. Resets the engine counters (not
// stop_flag, which belongs to the front end).
int engine_main(int count, const ArgumentVector& vector, const FrontEnd& front);

// Opens the catalog of settings, creating its directory (last level only) and an
// empty volume file 0 when they are missing (never over an existing file). A
// location that starts with a drive letter and a colon is tried on the following
// letters up to Z when it fails; the paths in settings then name the letter that
// worked. The drive that the call adds is never used for the catalog. False when
// no letter worked. run_report says where it opened and why it moved or failed.
bool open_catalog(RunSettings& settings);

} // namespace shelvo
