#include "platform/fault_injection.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

namespace shelvo {

namespace {

struct Fault {
  int countdown = 0; // 0: none pending
  int error = 0;
  int seen = 0;
};

constexpr std::size_t operation_kinds = static_cast<std::size_t>(FileOperation::sync_directory) + 1;

std::array<Fault, operation_kinds>& faults() {
  static std::array<Fault, operation_kinds> all{};
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

struct Recording {
  bool on = false;
  std::vector<RecordedOperation> operations;
};

Recording& recording() {
  static Recording state;
  return state;
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

void record_operations(bool on) {
  recording().on = on;
  recording().operations.clear();
}

bool recording_operations() { return recording().on; }

void record_operation(RecordedOperation operation) {
  if (recording().on) recording().operations.push_back(std::move(operation));
}

const std::vector<RecordedOperation>& recorded_operations() { return recording().operations; }

} // namespace shelvo
