// The search pass: reads every volume file from the current one upward, skips the
// volumes whose label fails the volume masks, and reports hits to the result sink.
#pragma once

#include "engine/front_end.h"
#include "engine/run_settings.h"

namespace shelvo {

void search_pass(RunSettings& settings, const FrontEnd& front);

} // namespace shelvo
