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

// Opens the catalog of settings. Where it does not exist and may_create is set,
// its directory (last level only) and an empty volume file 0 are created (never
// over an existing file), there and nowhere else. Where it can be neither opened
// nor created, an existing catalog under the same path on a following drive
// letter is used (a removable disk whose letter changed): the paths in settings
// then name that letter. The drive that the call adds is never used for the
// catalog. False when no catalog could be had. run_report says where it opened
// and why it moved or failed.
bool open_catalog(RunSettings& settings, bool may_create);

} // namespace shelvo
