// The add pass: records one mounted drive as a volume file of the catalog.
#pragma once

#include <string>

#include "engine/front_end.h"
#include "engine/run_settings.h"

namespace shelvo {

// Fills label with the drive's volume label: dots removed, cut to 15 characters,
// padded with blanks. Returns 0, or -1 when the drive's root cannot be read.
int volume_label_of(int drive_index, std::string& label);

// Adds the drive of settings to the catalog, starting the duplicate test at the
// volume file settings names (file 0). Returns 1 (also with option I), -1 (no
// volume information, or a duplicate without confirmation), -2 (the volume file
// could not be written: the catalog is as before) or -421 (duplicate with
// no-overwrite). On success settings.volume_cursor names the file written, and
// run_report its number and label.
int add_pass(RunSettings& settings, const FrontEnd& front);

} // namespace shelvo
