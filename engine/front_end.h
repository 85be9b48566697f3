// What a front end hands the engine for one call: where results go and how to ask
// the user. The status line is reached through the installed StatusView.
#pragma once

#include <cstddef>
#include <functional>

#include "results/result_sink.h"

namespace shelvo {

// How a call uses the catalog's search index. automatic: searches read through
// it where it helps, and keep it current (a large catalog gets one on its first
// search); off: every volume is read whole and nothing is written to the cache;
// build: the call only makes the index current for every volume (--index).
enum class IndexUse { automatic, off, build };

struct FrontEnd {
  // Where search hits and listed volumes go; nullptr shows nothing.
  ResultSink* results = nullptr;
  // One key typed in answer to the overwrite question, or -1 when there is no
  // console to ask on (the windowed program): the refusal path is then taken.
  std::function<int()> read_confirmation_key;
  // "Print only number of files and dir found": a listing only counts.
  bool only_total = false;
  // A catalog that does not exist yet is created where the vector names it; the
  // maintenance commands work only on catalogs that exist (a directory without
  // volume file 0 is none).
  bool create_missing_catalog = true;
  // The listing is the first step of a change (a delete, an import, an export):
  // while another program changes the catalog it waits as every writer waits,
  // at most CatalogWriter::lock_wait, then refuses with the writers' words.
  // Otherwise a search or a listing waits until the change is done.
  bool waits_as_writer = false;
  // Elements of the vector from this index on are search masks, whatever their
  // first characters (a command line's words after "--"); 0 when there are none.
  std::size_t masks_from = 0;
  IndexUse index = IndexUse::automatic;
};

} // namespace shelvo
