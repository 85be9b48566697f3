// Making the search index of a catalog current on demand (shelvo-cli --index),
// and after an add for the volume it wrote.
#pragma once

#include <string>

#include "catalog/volume_directory.h"
#include "engine/run_settings.h"

namespace shelvo {

// Builds a segment for every volume file of IndexPolicy::min_volume_bytes or
// more that has no current one, and keeps nothing for volume files no longer
// there. The status line says how far it is; a stop ends it between two
// volumes (or inside a long one), keeping the segments stored. run_report says
// what was done and where.
int index_pass(const RunSettings& settings, const VolumeDirectory& volumes);

// After an add: the segment of the volume file just written, when the catalog
// keeps an index.
void index_added_volume(const std::string& catalog_directory, const VolumeDirectory& volumes, long number);

} // namespace shelvo
