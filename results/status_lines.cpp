#include "results/status_lines.h"

#include "results/run_state.h"
#include "results/status_view.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace shelvo {

std::int32_t known_volume_count = 0;
std::int32_t last_shown_volume = -1;

bool is_step_count(long n) {
  if (n == 0) return false;
  long step;
  if (n < 100) step = 10;
  else if (n < 1000) step = 100;
  else if (n < 10000) step = 1000;
  else step = 10000;
  return n % step == 0;
}

std::string format_size(double value) {
  static constexpr std::array<const char*, 5> units = {"bytes", "kb", "Mb", "Gb", "Tb"};
  std::size_t unit = 0;
  while (std::fabs(value) >= 1024.0 && unit < 4) {
    value *= 0.0009765625;
    ++unit;
  }
  const char* name = (unit == 0 && !(value > 1.0)) ? "byte" : units[unit];
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%8.2f %-6s", value, name);
  return text.data();
}

std::string search_status_line() {
  std::array<char, 256> text{};
  std::snprintf(text.data(), text.size(),
                "File:%10ld (%s)  File in arc:%10ld (%s)   Dir:%7ld   Vol:%3ld [%3d/%3d]",
                static_cast<long>(counters.found_files), format_size(counters.found_bytes).c_str(),
                static_cast<long>(counters.found_members), format_size(counters.found_member_bytes).c_str(),
                static_cast<long>(counters.found_dirs), static_cast<long>(counters.found_volumes),
                static_cast<int>(counters.volume_number), static_cast<int>(known_volume_count));
  std::string line = text.data();
  if (stop_flag == 1) line += stop_note;
  return line;
}

std::string volume_count_line() {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%d volume(s)", static_cast<int>(counters.listed_volumes));
  return text.data();
}

std::string scan_status_line() {
  std::array<char, 128> text{};
  std::snprintf(text.data(), text.size(), "File:%10ld   Directory:%8ld   File in Archive: %10ld",
                static_cast<long>(counters.scanned_files), static_cast<long>(counters.scanned_dirs),
                static_cast<long>(counters.scanned_members));
  return text.data();
}

void show_search_status() {
  StatusView* view = status_view();
  if (!view) return;
  view->set_status_caption(search_status_line());
  view->set_progress_position(counters.volume_number);
  view->process_pending_events();
}

void refresh_search_status() {
  if (is_step_count(counters.found_files) || counters.volume_number != last_shown_volume) {
    show_search_status();
    last_shown_volume = counters.volume_number;
  }
}

void show_volume_count() {
  StatusView* view = status_view();
  if (!view) return;
  view->set_status_caption(volume_count_line());
  view->process_pending_events();
}

void show_scan_status() {
  StatusView* view = status_view();
  if (!view) return;
  view->set_status_caption(scan_status_line());
  view->process_pending_events();
}

void scan_progress_tick() {
  if (is_step_count(counters.scanned_files)) show_scan_status();
}

void finish_search_display() {
  if (stop_flag != 1 || known_volume_count < counters.volume_number) {
    known_volume_count = counters.volume_number;
    if (StatusView* view = status_view()) view->set_progress_maximum(known_volume_count);
  }
  show_search_status();
}

void show_waiting_status(std::string_view catalog_directory, CatalogHolder holder) {
  if (StatusView* view = status_view()) view->show_notice(catalog_wait_notice(catalog_directory, holder));
}

CatalogWait status_line_wait(std::string_view catalog_directory) {
  CatalogWait wait;
  wait.on_wait = [catalog = std::string(catalog_directory)](CatalogHolder holder) {
    show_waiting_status(catalog, holder);
  };
  wait.keep_waiting = [] {
    if (StatusView* view = status_view()) view->process_pending_events();
    return stop_flag != 1;
  };
  return wait;
}

} // namespace shelvo
