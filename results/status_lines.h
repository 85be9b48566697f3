// The status lines of the three passes and their refresh rule. They read the
// engine counters and draw on the installed StatusView.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/catalog_writer.h"

namespace shelvo {

// Volumes the last search reached: second number of the search line's volume
// counter and the progress maximum. Kept by the front end between sessions.
extern std::int32_t known_volume_count;
// volume_number at the last search line drawn; -1 at program start.
extern std::int32_t last_shown_volume;

// Appended to a line of a run the user stopped.
constexpr std::string_view stop_note = "   (stopped by the user)";

// True for 10, 20, ... 90, 100, 200, ... 900, 1000, ... 9000, 10000, 20000, ...
bool is_step_count(long n);

// "%8.2f %-6s" of a byte count in bytes, kb, Mb, Gb or Tb.
std::string format_size(double value);

// The lines themselves, as the status view shows them.
std::string search_status_line();
std::string volume_count_line();
std::string scan_status_line();

void refresh_search_status(); // draws the search line when due
void show_search_status();    // draws it now, moves the bar, processes events
void show_volume_count();     // draws "%d volume(s)", processes events
void scan_progress_tick();    // draws the scan line when scanned_files is a step
void show_scan_status();      // draws it now, processes events

// While another program holds the catalog that this run is to read or change:
// the notice, on the status view, once. Every reader and writer says the same.
void show_waiting_status(std::string_view catalog_directory, CatalogHolder holder);
// How every run waits for a catalog that another program holds: the notice
// above when the wait begins, and between tries pending input is handled and
// a Stop (stop_flag) ends the wait.
CatalogWait status_line_wait(std::string_view catalog_directory);

// After a search: raise known_volume_count (a stopped search never lowers it),
// set the progress maximum, and draw the final line.
void finish_search_display();

} // namespace shelvo
