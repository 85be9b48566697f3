#include "platform/fault_injection.h"

#include <array>
#include <cerrno>
#include <csignal>

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

struct KillPoint {
  int countdown = 0; // 0: none pending
  int signal_number = 0;
  int seen = 0;
};

KillPoint& kill_point() {
  static KillPoint point;
  return point;
}

} // namespace

void inject_fault(FileOperation operation, int nth, int error) {
  Fault& f = fault_of(operation);
  f.countdown = nth;
  f.error = error;
}

void clear_faults() {
  faults() = {};
  kill_point() = {};
}

void inject_kill(int nth, int signal_number) {
  kill_point().countdown = nth;
  kill_point().signal_number = signal_number;
}

int all_operations_seen() { return kill_point().seen; }

int operations_seen(FileOperation operation) { return fault_of(operation).seen; }

bool fault_injected(FileOperation operation) {
  KillPoint& k = kill_point();
  ++k.seen;
  if (k.countdown > 0 && --k.countdown == 0) std::raise(k.signal_number);
  Fault& f = fault_of(operation);
  ++f.seen;
  if (f.countdown == 0 || --f.countdown > 0) return false;
  errno = f.error;
  return true;
}

} // namespace shelvo
