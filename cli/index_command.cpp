#include "cli/index_command.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

#include "cli/messages.h"
#include "cli/terminal_status_view.h"
#include "engine/engine_main.h"
#include "results/run_state.h"
#include "results/status_view.h"

namespace shelvo {

namespace {

// "1.2 GB", "340 kB": a size in a sentence.
std::string size_in_words(std::uint64_t bytes) {
  static constexpr std::array<const char*, 5> units = {"bytes", "kB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1000 && unit + 1 < units.size()) {
    value /= 1000;
    ++unit;
  }
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
  return text.data();
}

std::string volumes_in_words(long count) { return std::to_string(count) + (count == 1 ? " volume" : " volumes"); }

} // namespace

int run_index_command(const CommandLine& cl) {
  using Shown = TerminalStatusView::Shown;
  TerminalStatusView status(stderr, ::isatty(STDERR_FILENO) ? Shown::live
                                    : cl.verbose            ? Shown::final_line
                                                            : Shown::nothing);
  set_status_view(&status);
  FrontEnd front;
  front.index = IndexUse::build;
  front.create_missing_catalog = false;
  const int code = engine_main(static_cast<int>(cl.vector.size()), cl.vector, front);
  status.finish();
  set_status_view(nullptr);
  // What a stopped program left half done was put right before the index was
  // read: said once, as every other call says it.
  if (!run_report.repaired.empty()) say(run_report.repaired);
  if (!run_report.warning.empty()) warn(run_report.warning);
  if (code != engine_ok) {
    say(terminal_safe(run_report.failure.empty() ? "the search index could not be made" : run_report.failure));
    return 1;
  }
  std::string done = run_report.stopped ? "stopped: the search index of " : "the search index of ";
  done += terminal_safe(run_report.catalog_directory) + (run_report.stopped ? " is up to date in part" : " is up to date");
  if (run_report.indexed_volumes > 0)
    done += ": " + volumes_in_words(run_report.indexed_volumes) + " (" + size_in_words(run_report.indexed_bytes) +
            ") indexed now, in " + size_in_words(run_report.index_bytes);
  if (run_report.index_current > 0)
    done += std::string(run_report.indexed_volumes > 0 ? "; " : ": ") + volumes_in_words(run_report.index_current) +
            " up to date already";
  say(done + "; it lives in " + terminal_safe(run_report.index_directory));
  return 0;
}

void report_index(bool shown) {
  if (!run_report.index_warning.empty())
    warn(terminal_safe(run_report.index_warning) + "; the catalog is read whole until it can be written");
  if (!shown || run_report.indexed_volumes == 0) return;
  say("indexed " + volumes_in_words(run_report.indexed_volumes) + " (" + size_in_words(run_report.indexed_bytes) +
      ") for faster searches, in " + size_in_words(run_report.index_bytes) + " (" +
      terminal_safe(run_report.index_directory) + "; --no-index searches without it)");
}

} // namespace shelvo
