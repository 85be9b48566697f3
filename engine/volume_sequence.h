// The walk over a catalog's numbered volume files, 00000000.KTL upward, that the
// search and listing passes make and whose label text the delete shows: the
// label as shown, the volume masks, opening the file under the cursor
// (RunSettings::volume_cursor) and the step to the next one.
#pragma once

#include <string>
#include <string_view>

#include "engine/run_settings.h"
#include "platform/file_access.h"

namespace shelvo {

// The label bytes read from a volume file up to the first 0x00, as the tree and
// the volume masks see it; a damaged label never carries a 0x00 into a node text.
std::string shown_label(std::string_view label_bytes);

// True when no volume masks were given or the label (all 15 characters, trailing
// blanks included) passes them.
bool passes_volume_masks(const RunSettings& settings, std::string_view label);

// Opens the volume file under the cursor for a reader. A missing file ends the
// catalog, for every reader; one that is there and cannot be read (not a regular
// file, no permission) ends it too, and run_report.cut_short and warning say
// why, since every volume after it goes unread.
File open_volume_file(const RunSettings& settings);

// Moves the cursor to the next volume file and counts the one just read. False
// when the eight digits have run over (the cursor would name file 0 again).
bool advance_volume_file(RunSettings& settings);

} // namespace shelvo
