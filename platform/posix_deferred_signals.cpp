#include "platform/deferred_signals.h"

#include <pthread.h>

namespace shelvo {

DeferredSignals::DeferredSignals() {
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  sigaddset(&held, SIGHUP);
  ::pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

DeferredSignals::~DeferredSignals() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

} // namespace shelvo
