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
#include <string>
#include <vector>

namespace shelvo {

struct EngineCounters {
  double found_bytes = 0;          // total size of the hits (files and members)
  std::int32_t found_files = 0;    // hits: files and archive members
  double found_member_bytes = 0;   // total size of the archive-member hits
  std::int32_t found_members = 0;  // archive-member hits
  std::int32_t found_dirs = 0;     // directories reported
  std::int32_t found_volumes = 0;  // volumes with at least one hit or reported directory
  std::int32_t volume_number = 0;  // volume file being read; after a pass, files read
  std::int32_t scanned_members = 0;
  std::int32_t broken_archives = 0;
  std::int32_t scanned_dirs = 1;   // the root counts
  std::int32_t scanned_files = 0;
  std::int32_t listed_volumes = 0; // reset by the listing pass itself
};

extern EngineCounters counters;

// 1 after the user asked to stop, 0 after a new run starts. Set by front ends,
// possibly from a signal handler, so it is a sig_atomic_t.
extern volatile std::sig_atomic_t stop_flag;

// What a front end tells the user about a call beyond its return code: where the
// catalog really opened, whether the call created it, and the system's own words
// for a failure. Reset with the counters.
// What an add left out of a volume, by reason: a user must know that a catalog is
// incomplete. The records themselves stay as they are.
struct SkippedEntries {
  std::int32_t unreadable = 0; // directories and archives that could not be read
  std::int32_t too_long = 0;   // directories and archives whose paths a search cannot hold
  std::int32_t special = 0;    // devices, FIFOs and sockets (and links to them), never opened
  std::string first;           // the first one left out, and why (UTF-8, controls as '?')
  std::int32_t total() const { return unreadable + too_long + special; }
};

struct RunReport {
  std::string catalog_directory; // the catalog directory the call opened, as the engine names it
  bool catalog_moved = false;    // it opened on another drive letter than the one asked for
  std::string move_reason;       // why the asked location failed ("C:\CAT: Not a directory")
  bool catalog_created = false;  // volume file 0 was created: a new, empty catalog
  std::string failure;           // the cause of a failure, with its path, e.g.
                                 // "cannot create C:\CAT\00000002.KTL: Permission denied"
  std::int32_t volumes_selected = 0; // volumes whose label passed the volume masks
  bool stopped = false;          // the call ended early on stop_flag
  std::string repaired;          // what a program that was stopped had left half done, and was
                                 // finished before this call went on
  std::string warning;           // what was left half done and could not be finished
  std::string cut_short;         // why a listing or a search ended before the catalog did: a volume
                                 // file there could not be read ("cannot read the volume file ...")
  std::string log_failure;       // why the broken-archive log could not be written, once
  SkippedEntries skipped;        // what an add left out
  std::vector<std::string> left_out; // Shelvo's own folders that an add of the drive holding them left out (host paths)
  long added_volume = -1;        // the number of the volume file an add wrote; -1 when none
  std::string added_label;       // its label, the 15 bytes as stored
  bool added_in_place = false;   // it replaced the volume of the same label
  // The search index: the volume files whose segments this call built and
  // stored, their bytes and the segments' bytes, those whose segment was current
  // already (when every one was looked at), where the index lives, and why it
  // could not be written (once; the call then goes on without it).
  std::int32_t indexed_volumes = 0;
  std::uint64_t indexed_bytes = 0;
  std::uint64_t index_bytes = 0;
  std::int32_t index_current = 0;
  std::int32_t volumes_through_index = 0; // volumes a search read in part, through their segments
  std::string index_directory;
  std::string index_warning;
};

extern RunReport run_report;

// Resets every counter but listed_volumes, as the engine entry does, and the report.
void reset_counters();

} // namespace shelvo
