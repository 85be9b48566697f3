// shelvo-cli: the catalog engine as a command-line tool. Each argument is one
// element of the engine's argument vector; arguments starting with "--" are the
// tool's own.
#include "catalog/catalog_store.h"
#include "catalog/volume_directory.h"
#include "cli/announcements.h"
#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/index_command.h"
#include "cli/maintenance_commands.h"
#include "cli/messages.h"
#include "cli/paths_output.h"
#include "cli/terminal_status_view.h"
#include "engine/add_pass.h"
#include "engine/command_vectors.h"
#include "engine/engine_main.h"
#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "platform/host_files.h"
#include "results/result_tree.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/tree_text_output.h"
#include "scanner/archive_scan.h"
#include "scanner/broken_archive_log.h"
#include "scanner/volume_walk.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

namespace {

using namespace shelvo;

constexpr int exit_usage = 64;
constexpr int exit_incomplete = 4; // the volume was added, with entries left out
// Set by the first Ctrl-C, kill or hang-up to the signal's number; stop_flag
// alone may also be set by a reader that went away.
volatile std::sig_atomic_t interrupted = 0;

void on_interrupt(int signal_number) {
  // The first signal asks the run to stop: a search after the volume under way,
  // an add at once, leaving the catalog as it was, an import or an export
  // between two volumes. A second one ends the program (the handler is reset by
  // SA_RESETHAND); a change that must not be cut (the moves of a delete) holds
  // signals back until it is whole.
  stop_flag = 1;
  interrupted = signal_number;
}

void install_signal_handlers() { install_interrupt_handlers(on_interrupt); }

// The status of a process that a signal stopped, as a shell reports it (130
// for Ctrl-C).
int exit_interrupted() { return 128 + static_cast<int>(interrupted); }

// Text from the host or the engine's paths, with control characters as '?'.
std::string clean(std::string_view text) { return terminal_safe(text); }

// "C:\CAT (/home/ann/catalogs/CAT)": the engine's name and where it is on this machine.
std::string located(const std::string& dos_path) {
  const auto host = resolve_dos_path(dos_path);
  if (!host || *host == dos_path) return clean(dos_path);
  return clean(dos_path) + " (" + clean(*host) + ")";
}

// One key, without waiting for Enter, when standard input is a terminal.
int read_one_key() {
  if (!is_terminal(stdin)) return -1;
  ask("This volume is already in the catalog. Overwrite it? (Y/N) ");
  const int key = read_key_from_terminal();
  std::fputc('\n', stderr);
  return interrupted == 0 ? key : -1;
}

// Why a drive's directory cannot be walked, in the system's words; empty when it can.
std::string drive_problem(char letter) {
  const Drive* drive = drive_table().find(letter);
  if (!drive) return "it is not in the drive table";
  std::vector<std::string> names;
  int error = 0;
  if (host_directory_names(drive->directory, names, error)) return "";
  return clean(drive->directory) + ": " + std::strerror(error);
}

bool drive_directory_missing(const Drive& drive) {
  return host::kind_of(drive.directory, true) == host::Kind::missing && errno == ENOENT;
}

void print_drives() {
  for (const Drive& drive : drive_table().drives()) {
    std::string label;
    const bool readable = read_drive_label(drive.letter - 'A', label);
    std::string state;
    if (readable) state = label.empty() ? "(no label)" : "[" + printable_utf8(label) + "]";
    else if (drive_directory_missing(drive)) state = "(missing)";
    else state = "(not readable)";
    std::printf("%c:  %s  %s\n", drive.letter, clean(drive.directory).c_str(), state.c_str());
  }
}

// The volume files of a catalog, 00000000.KTL upward until one is missing: what
// a search will read, so its live line can show how far along it is.
std::int32_t count_volume_files(const std::string& catalog_directory) {
  VolumeDirectory volumes;
  if (!volumes.open(catalog_directory)) return 0;
  volumes.read_table();
  return static_cast<std::int32_t>(volumes.end());
}

struct Run {
  const CommandLine& cl;
  RunSettings plan; // what the vector asks for, as the engine reads it
  bool searches = false;
  bool lists = false;
  int code = engine_ok;
  std::string added_directory; // --add DIR: the directory, resolved
  bool added_outside_table = false; // ... with a letter for this call only
};

// --add DIR: the directory gets a drive letter for this call (its own in the
// table, else a free one), and the engine adds that drive as it adds X:. An exit
// status when it cannot be added; nothing is written then.
std::optional<int> map_added_directory(CommandLine& cl, Run& run) {
  const std::string shown = quoted_argument(cl.add_directory);
  const std::optional<std::string> resolved = host::real_path(cl.add_directory);
  if (!resolved) {
    say("cannot add " + shown + ": " + std::strerror(errno));
    return 1;
  }
  if (host::kind_of(*resolved, true) != host::Kind::directory) {
    say("cannot add " + shown + ": " + std::strerror(ENOTDIR) + " (--add takes a directory)");
    return 1;
  }
  run.added_directory = *resolved;
  run.added_outside_table = letter_of_directory(run.added_directory) == 0;
  const char letter = map_directory_for_this_process(run.added_directory, cl.label);
  if (!letter) {
    say("cannot add " + shown + ": the drive table uses every letter A to Z, and --add needs one for the call");
    return 1;
  }
  add_drive_element(cl, letter);
  return std::nullopt;
}

// What an add wrote, so that the user can find it again (--delete takes the number).
void report_added(const Run& run) {
  if (!run.plan.drive_given || run.code != engine_ok || run_report.added_volume < 0) return;
  const char letter = static_cast<char>('A' + run.plan.drive_index);
  const Drive* drive = drive_table().find(letter);
  const std::string what = !run.added_directory.empty() ? clean(run.added_directory)
                           : drive ? std::string("drive ") + letter + ": (" + clean(drive->directory) + ")"
                                   : std::string("drive ") + letter + ":";
  std::string label = run_report.added_label;
  label.erase(label.find_last_not_of(' ') + 1);
  say("added " + what + " to " + clean(run_report.catalog_directory) + " as volume " +
      std::to_string(run_report.added_volume) + (label.empty() ? " (no label)" : " [" + printable_utf8(label) + "]") +
      (run_report.added_in_place ? ", in place of the volume of that label" : "") +
      // Whether a volume is here now is told by the drive table.
      (run.added_outside_table ? "; no drive of the table holds it, so --host will not find its files" : ""));
}

// A catalog asked for on a letter the drive table lacks fails with "No such
// file or directory", which names no cause a user can act on.
std::string missing_drive_hint(const std::string& dos_path) {
  if (dos_path.size() < 2 || dos_path[1] != ':') return "";
  const char letter = dos_path[0];
  if (drive_table().find(letter)) return "";
  return std::string(" (there is no drive ") + letter + ": in the drive table; see shelvo-cli --drives)";
}

// Where the catalog opened, whether this call made it, and what it found left
// half done by a program that was stopped.
void report_catalog(const Run& run) {
  if (!run_report.repaired.empty()) say(clean(run_report.repaired));
  if (!run_report.warning.empty()) warn(clean(run_report.warning));
  if (run_report.catalog_moved)
    say("the catalog opened at " + located(run_report.catalog_directory) + ", not at " +
        clean(run.plan.catalog_directory) + " as asked: " + clean(run_report.move_reason) +
        missing_drive_hint(run.plan.catalog_directory));
  if (run_report.catalog_created && !run_report.catalog_directory.empty()) {
    const bool filled = run.plan.drive_given && run.code == engine_ok && !run.plan.option_i;
    say(std::string("created a new ") + (filled ? "" : "empty ") + "catalog at " +
        located(run_report.catalog_directory));
  }
}

// What went wrong, in words; the engine's codes say only which kind of failure.
void report_failure(const Run& run) {
  const int code = run.code;
  const RunSettings& plan = run.plan;
  const char letter = static_cast<char>('A' + plan.drive_index);
  if (run_report.stopped || (interrupted && plan.drive_given && code == engine_failed)) {
    say("stopped: the volume was not added; the catalog is as it was");
  } else if (code == engine_already_known) {
    say("This drive is already in the base...");
  } else if (code == engine_failed && run_report.catalog_directory.empty()) {
    const std::string hint = missing_drive_hint(plan.catalog_directory);
    if (!run_report.failure.empty()) say(clean(run_report.failure) + hint);
    else say("the catalog " + clean(plan.catalog_directory) + " can be neither opened nor created" + hint);
  } else if (const std::string problem = code == engine_failed && plan.drive_given ? drive_problem(letter) : "";
             !problem.empty()) {
    if (!run.added_directory.empty()) say("cannot add " + problem);
    else say(std::string("drive ") + letter + ": has no readable volume: " + problem + " (see shelvo-cli --drives)");
  } else if (!run_report.failure.empty()) {
    say(clean(run_report.failure));
  } else if (code == engine_cannot_create) {
    say("the volume file could not be written; the catalog is unchanged");
  } else if (code == engine_failed && plan.drive_given) {
    say("this volume is already in the catalog and was left as it is (/Y overwrites it, /S adds it again)");
  }
  if (counters.broken_archives > 0) {
    const std::string dos_path(broken_archive_log_path);
    const auto log = resolve_dos_path(dos_path);
    say(std::to_string(counters.broken_archives) + " file(s) in archive seems to be broken: see " +
        clean(log ? *log : dos_path));
    if (!run_report.log_failure.empty()) say(clean(run_report.log_failure));
  }
}

// What an add left out: the catalog holds less than the disk, and the user must
// know it. True when something was.
bool report_skipped(const Run& run) {
  if (!run.plan.drive_given || run.code != engine_ok || run_report.skipped.total() == 0) return false;
  say(skipped_entries_message(run_report.skipped));
  return true;
}

// Volume masks that let no volume through: the usual causes are letter case and
// a mask that does not cover the label's padding.
void report_unmatched_volume_masks(const Run& run) {
  if (run.code != engine_ok || !(run.searches || run.lists) || run.plan.volume_masks.empty()) return;
  if (run_report.volumes_selected > 0 || stop_flag == 1) return;
  std::string masks;
  for (const std::string& mask : run.plan.volume_masks.masks())
    masks += (masks.empty() ? "[" : " [") + printable_utf8(mask) + "]";
  say("no volume label matched " + masks +
      ": volume masks are case-sensitive and match the whole 15-character label (end a mask with '*'; labels are "
      "stored without dots); /W lists the labels");
}

// With --host, the hits that got no line, counted in one line.
void report_left_out(const PathsOutput& paths) {
  const PathsOutput::LeftOut& left = paths.left_out();
  const long total = left.not_mounted + left.in_archives + left.missing;
  if (total == 0) return;
  std::string why;
  const auto add = [&](long count, const char* what) {
    if (count > 0) why += (why.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  add(left.not_mounted, "on volumes that no drive of the table holds now");
  add(left.in_archives, "inside archives");
  add(left.missing, "no longer where the add found them");
  say("left out " + std::to_string(total) + " hit(s) with no path on this machine: " + why +
      " (--paths without --host lists them)");
}

// The status of the process from the engine's code.
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

// A failed write of the results: a reader that went away ends the run quietly;
// anything else (a full disk) is an error.
bool report_write_failure(int error) {
  if (error == EPIPE || (error == EINTR && interrupted)) return false;
  say(std::string("cannot write the results: ") + std::strerror(error));
  return true;
}

} // namespace

int main(int argc, char** argv) {
  prepare_console();
  const std::vector<std::string> arguments = console_arguments(argc, argv);
  std::vector<const char*> argument_pointers;
  for (const std::string& argument : arguments) argument_pointers.push_back(argument.c_str());
  argument_pointers.push_back(nullptr);
  CommandLine cl = parse_command_line(static_cast<int>(arguments.size()), argument_pointers.data());
  if (cl.no_arguments) {
    std::fputs(usage_text().c_str(), stderr);
    return exit_usage;
  }
  if (!cl.error.empty()) {
    say(cl.error);
    return exit_usage;
  }
  if (cl.help) {
    std::fputs(usage_text().c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (cl.version) {
    return std::puts("shelvo-cli " SHELVO_VERSION) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::string drive_error;
  if (!load_drive_table(drive_error)) {
    say(drive_error);
    return exit_usage;
  }
  if (cl.drives) {
    print_drives();
    if (!drive_table().find('C'))
      warn("the table has no drive C:, which holds the catalogs (C:\\VOLDEPOT unless /l: names another): give it "
           "one");
    return 0;
  }
  if (cl.maintenance() || cl.index) {
    for (const std::string& warning : cl.warnings) warn(warning);
    install_signal_handlers();
    if (cl.index) {
      const int status_code = run_index_command(cl);
      return interrupted ? exit_interrupted() : status_code;
    }
    // Only a stop that cut the work short exits as the signal: a deletion done
    // when it came stands, and a script that read 130 would delete again.
    const int status_code = run_maintenance_command(cl);
    if (status_code == maintenance_stopped) return interrupted ? exit_interrupted() : 1;
    return status_code;
  }

  // What the vector will do decides which final line is drawn.
  Run run{cl, {}, false, false, engine_ok, {}, false};
  if (!cl.add_directory.empty())
    if (const std::optional<int> failed = map_added_directory(cl, run)) return *failed;
  int count = static_cast<int>(cl.vector.size());
  classify_elements(count, cl.vector, run.plan, cl.masks_from);
  run.searches = !run.plan.search_masks.empty();
  run.lists = run.plan.option_w && !run.searches && !run.plan.drive_given;
  if (cl.paths && !run.searches) {
    say("--paths writes the hits of a search: give a search mask");
    return exit_usage;
  }
  for (const std::string& warning : cl.warnings) warn(warning);
  // Only '/l:DIR' alone asks for nothing but the catalog (opened, or made).
  const bool catalog_only = cl.vector.size() == 2 && count == 1;
  if (!run.plan.drive_given && !run.searches && !run.lists && !catalog_only) {
    say("nothing to do: no drive or directory to add, no search mask, no /W listing; nothing was changed (to add "
        "a directory: shelvo-cli --add DIR; more in shelvo-cli --help)");
    return exit_usage;
  }

  const bool output_on_terminal = is_terminal(stdout);
  // The status line is for a person watching: live on a terminal (the final
  // line only when paths stream to the same terminal, through which a live line
  // would run); a script sees it when it asks (--verbose), or when the count is
  // the answer it asked for (/nd).
  using Shown = TerminalStatusView::Shown;
  Shown shown = Shown::nothing;
  if (is_terminal(stderr)) shown = cl.paths && output_on_terminal ? Shown::final_line : Shown::live;
  else if (cl.verbose || (run.searches && run.plan.no_display)) shown = Shown::final_line;
  TerminalStatusView status(stderr, shown);
  set_status_view(&status);
  // Announcements share standard output with the tree only when no tree follows.
  std::optional<Announcements> announcements;
  if (cl.verbose) {
    announcements.emplace((run.searches || run.lists) ? stderr : stdout, status);
    set_announcement_stream(announcements->stream());
    // Every entry an add leaves out, as the walk meets it; the summary after the
    // add names only the first.
    set_left_out_listener([&status](std::string_view entry) {
      status.clear_line();
      say("left out " + std::string(entry));
    });
  }
  install_signal_handlers();
  if (run.searches) known_volume_count = count_volume_files(run.plan.catalog_directory);

  ResultTree tree;
  PathsOutput paths(STDOUT_FILENO, cl.null, cl.numbers, output_on_terminal, cl.host);
  FrontEnd front;
  front.results = cl.paths ? static_cast<ResultSink*>(&paths) : &tree;
  front.read_confirmation_key = read_one_key;
  front.only_total = run.plan.no_display;
  front.masks_from = cl.masks_from;
  front.index = cl.no_index ? IndexUse::off : IndexUse::automatic;

  run.code = engine_main(static_cast<int>(cl.vector.size()), cl.vector, front);

  bool write_failed = false;
  if (cl.paths && !paths.finish()) write_failed = report_write_failure(paths.write_error());
  // A stop that the output asked for is no stop by the user.
  if (interrupted == 0) stop_flag = 0;
  set_announcement_stream(nullptr);
  set_left_out_listener(nullptr);
  announcements.reset();

  if (run.plan.drive_given && run.code != engine_already_known && run.code != engine_failed && count >= 2)
    show_scan_status();
  if (run.code == engine_ok && run.searches) finish_search_display();
  else if (run.code == engine_ok && run.lists) show_volume_count();
  status.finish();
  report_catalog(run);
  report_added(run);
  if (run.plan.drive_given && run.code == engine_ok && !run_report.left_out.empty())
    say(own_folders_message(run_report.left_out));
  report_failure(run);
  report_unmatched_volume_masks(run);
  report_index(shown != Shown::nothing);
  const bool incomplete = report_skipped(run);
  if (cl.host) report_left_out(paths);
  if (!cl.paths && !write_tree(tree, stdout, cl.numbers)) write_failed = report_write_failure(errno) || write_failed;
  if (std::fflush(stdout) != 0 && !write_failed) write_failed = report_write_failure(errno);
  set_status_view(nullptr);

  int status_code = exit_status_of(run.code);
  // An add that was done before the Ctrl-C came stands: its volume is in the catalog.
  if (interrupted && !(run.plan.drive_given && run.code == engine_ok && !run.searches && !run_report.stopped))
    status_code = exit_interrupted();
  if (write_failed && status_code == 0) status_code = 1;
  // As grep and plocate do, a search that finds nothing says so by its status.
  // With --host, what counts is a path on this machine.
  const bool found = cl.host && !run.plan.no_display ? paths.lines_written() > 0
                                                     : counters.found_files > 0 || counters.found_dirs > 0;
  if (status_code == 0 && run.searches && !found) status_code = 1;
  if (incomplete && status_code == 0) status_code = exit_incomplete;
  return status_code;
}
