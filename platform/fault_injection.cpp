#include "platform/fault_injection.h"

#include <array>
#include <cerrno>

namespace shelvo {

namespace {

struct Fault {
  int countdown = 0; // 0: none pending
  int error = 0;
  int seen = 0;
};

std::array<Fault, 6>& faults() {
  static std::array<Fault, 6> all{};
  return all;
}

Fault& fault_of(FileOperation operation) { return faults()[static_cast<std::size_t>(operation)]; }

} // namespace

void inject_fault(FileOperation operation, int nth, int error) {
  Fault& f = fault_of(operation);
  f.countdown = nth;
  f.error = error;
}

void clear_faults() { faults() = {}; }

int operations_seen(FileOperation operation) { return fault_of(operation).seen; }

bool fault_injected(FileOperation operation) {
  Fault& f = fault_of(operation);
  ++f.seen;
  if (f.countdown == 0 || --f.countdown > 0) return false;
  errno = f.error;
  return true;
}

} // namespace shelvo
