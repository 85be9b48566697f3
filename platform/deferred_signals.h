// Holds back SIGINT, SIGTERM and SIGHUP for as long as it lives. A change that
// takes several steps (the volume files after a deleted one moving down by one
// number) runs to its end, and a Ctrl-C, a kill or a closed terminal takes effect
// after it, at a whole state. Only SIGKILL cannot wait; what it leaves is
// finished by the catalog's next program. On Windows a console's events never
// cut a change short, and this holds nothing.
#pragma once

#include <csignal>

namespace shelvo {

class DeferredSignals {
public:
  DeferredSignals();
  ~DeferredSignals(); // the signals that came meanwhile are delivered now
  DeferredSignals(const DeferredSignals&) = delete;
  DeferredSignals& operator=(const DeferredSignals&) = delete;

private:
#ifndef _WIN32
  sigset_t saved_{};
#endif
};

} // namespace shelvo
