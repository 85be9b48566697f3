// The engine counters and the stop flag: global state of one run, reset by the
// engine entry at the start of every call and read by the status lines and the
// front ends after it returns.
//
// They live here, beside the status lines that show them, because this is the
// lowest layer every writer of them can reach without an upward include: the
// scanner counts what it walks, the engine's passes count hits, and both sit
// above results/.
#pragma once

#include <csignal>
#include <cstdint>

namespace shelvo {

struct EngineCounters {
  double found_bytes = 0;          // total size of the hits (files and members)
  std::int32_t found_files = 0;    // hits: files and archive members
  double found_member_bytes = 0;   // total size of the archive-member hits
  std::int32_t found_members = 0;  // archive-member hits
  std::int32_t found_dirs = 0;     // directories reported
  std::int32_t found_volumes = 0;  // volumes with at least one hit or reported directory
  std::int16_t volume_number = 0;  // volume file being read; after a pass, files read
  std::int32_t scanned_members = 0;
  std::int32_t broken_archives = 0;
  std::int32_t scanned_dirs = 1;   // the root counts
  std::int32_t scanned_files = 0;
  std::int16_t listed_volumes = 0; // reset by the listing pass itself
};

extern EngineCounters counters;

// 1 after the user asked to stop, 0 after a new run starts. Set by front ends,
// possibly from a signal handler, so it is a sig_atomic_t.
extern volatile std::sig_atomic_t stop_flag;

// Resets every counter but listed_volumes, as the engine entry does.
void reset_counters();

} // namespace shelvo
