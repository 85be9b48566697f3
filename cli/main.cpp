// shelvo-cli: the catalog engine as a command-line tool. Each argument is one
// element of the engine's argument vector; arguments starting with "--" are the
// tool's own.
#include "cli/command_line.h"
#include "cli/terminal_status_view.h"
#include "engine/add_pass.h"
#include "engine/engine_main.h"
#include "results/run_state.h"
#include "platform/code_page.h"
#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "results/result_tree.h"
#include "results/status_lines.h"
#include "results/tree_text_output.h"
#include "scanner/archive_scan.h"
#include "scanner/broken_archive_log.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

using namespace shelvo;

constexpr int exit_usage = 64;

void on_interrupt(int) {
  // The first Ctrl-C asks the search to stop after the volume under way; a second
  // one ends the program.
  stop_flag = 1;
  std::signal(SIGINT, SIG_DFL);
}

// One key, without waiting for Enter, when standard input is a terminal.
int read_one_key() {
  if (!::isatty(STDIN_FILENO)) return -1;
  std::fputs("This volume is already in the catalog. Overwrite it? (Y/N) ", stderr);
  std::fflush(stderr);
  termios saved{};
  const bool raw = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (raw) {
    termios one_key = saved;
    one_key.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    one_key.c_cc[VMIN] = 1;
    one_key.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &one_key);
  }
  unsigned char key = 0;
  const ssize_t n = ::read(STDIN_FILENO, &key, 1);
  if (raw) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  std::fputc('\n', stderr);
  return n == 1 ? key : -1;
}

void print_drives() {
  for (const Drive& drive : drive_table().drives()) {
    std::string label;
    const bool readable = read_drive_label(drive.letter - 'A', label);
    std::printf("%c:  %s  %s\n", drive.letter, drive.directory.c_str(),
                !readable      ? "(not readable)"
                : label.empty() ? "(no label)"
                                : ("[" + cp1252_to_utf8(label) + "]").c_str());
  }
}

// What went wrong, in words; the engine's codes say only which kind of failure.
void report_failure(int code, const RunSettings& plan) {
  if (code == engine_already_known) {
    std::fputs("This drive is already in the base...\n", stderr);
  } else if (code == engine_cannot_create) {
    std::fputs("shelvo-cli: the volume file could not be written (is the disk full?); the catalog is unchanged\n",
               stderr);
  } else if (code == engine_failed && plan.drive_given) {
    std::string label;
    if (volume_label_of(plan.drive_index, label) != 0)
      std::fprintf(stderr, "shelvo-cli: drive %c: has no readable volume (see shelvo-cli --drives)\n",
                   'A' + plan.drive_index);
    else
      std::fputs("shelvo-cli: this volume is already in the catalog and was left as it is "
                 "(/Y overwrites it, /S adds it again)\n",
                 stderr);
  } else if (code == engine_failed) {
    std::fprintf(stderr, "shelvo-cli: the catalog %s can be neither opened nor created\n",
                 plan.catalog_directory.c_str());
  }
  if (counters.broken_archives > 0) {
    const std::string dos_path(broken_archive_log_path);
    const auto log = resolve_dos_path(dos_path);
    std::fprintf(stderr, "%10ld file(s) in archive seems to be broken: see %s\n",
                 static_cast<long>(counters.broken_archives), (log ? *log : dos_path).c_str());
  }
}

int exit_status_of(int code) {
  switch (code) {
  case engine_ok:
  case engine_catalog_only: return 0;
  case engine_failed: return 1;
  case engine_cannot_create: return 2;
  case engine_already_known: return 3;
  default: return 1;
  }
}

} // namespace

int main(int argc, char** argv) {
  CommandLine cl = parse_command_line(argc, argv);
  if (!cl.error.empty()) {
    std::fprintf(stderr, "shelvo-cli: %s\n", cl.error.c_str());
    return exit_usage;
  }
  if (cl.help) {
    std::fputs(usage_text().c_str(), stdout);
    return 0;
  }
  if (cl.version) {
    std::puts("shelvo-cli 0.1.0");
    return 0;
  }
  std::string drive_error;
  if (!load_drive_table(drive_error)) {
    std::fprintf(stderr, "shelvo-cli: %s\n", drive_error.c_str());
    return exit_usage;
  }
  if (cl.drives) {
    print_drives();
    return 0;
  }

  // What the vector will do decides which final line is drawn.
  int count = static_cast<int>(cl.vector.size());
  RunSettings plan;
  classify_elements(count, cl.vector, plan);
  const bool searches = !plan.search_masks.empty();
  const bool lists = plan.option_w && !searches && !plan.drive_given;

  // Announcements share standard output with the tree only when no tree follows.
  if (cl.verbose) set_announcement_stream((searches || lists) ? stderr : stdout);

  TerminalStatusView status(stderr, ::isatty(STDERR_FILENO) != 0);
  set_status_view(&status);
  std::signal(SIGINT, on_interrupt);

  ResultTree tree;
  FrontEnd front;
  front.results = &tree;
  front.read_confirmation_key = read_one_key;
  front.only_total = plan.no_display;

  const int code = engine_main(static_cast<int>(cl.vector.size()), cl.vector, front);

  if (plan.drive_given && code != engine_already_known && code != engine_failed && count >= 2)
    show_scan_status();
  if (code == engine_ok && searches) finish_search_display();
  else if (code == engine_ok && lists) show_volume_count();
  status.finish();
  report_failure(code, plan);
  write_tree(tree, stdout, cl.numbers);
  std::fflush(stdout);
  set_status_view(nullptr);
  return exit_status_of(code);
}
