// The search pass: reads every volume file from the current one upward, skips the
// volumes whose label fails the volume masks, and reports hits to the result sink.
// A volume is read through the catalog's search index where that helps
// (search_index.h), with the same answers.
#pragma once

#include "catalog/volume_directory.h"
#include "engine/front_end.h"
#include "engine/run_settings.h"

namespace shelvo {

// volumes: the catalog's volume files as the search's lock found them (nullptr:
// the index is used, but never built).
void search_pass(RunSettings& settings, const FrontEnd& front, const VolumeDirectory* volumes = nullptr);

} // namespace shelvo
