#include "platform/deferred_signals.h"

namespace shelvo {

// Nothing to hold back on this host: a console's Ctrl-C, Ctrl-Break or closed
// window calls shelvo-cli's handler in a thread of its own, which only asks the
// run to stop, so a change always runs to its end first (for a closed window,
// the handler waits for the run before it lets the process go).
DeferredSignals::DeferredSignals() = default;

DeferredSignals::~DeferredSignals() = default;

} // namespace shelvo
