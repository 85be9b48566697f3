#include "results/run_state.h"

namespace shelvo {

EngineCounters counters;
RunReport run_report;
volatile std::sig_atomic_t stop_flag = 0;

void reset_counters() {
  const std::int32_t listed = counters.listed_volumes;
  counters = EngineCounters{};
  counters.listed_volumes = listed;
  run_report = RunReport{};
}

} // namespace shelvo
