// The listing pass: one node per volume file whose label passes the volume masks.
#pragma once

#include "engine/front_end.h"
#include "engine/run_settings.h"

namespace shelvo {

void listing_pass(RunSettings& settings, const FrontEnd& front);

} // namespace shelvo
