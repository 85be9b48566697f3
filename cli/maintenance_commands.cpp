#include "cli/maintenance_commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "cli/messages.h"
#include "cli/terminal_status_view.h"
#include "engine/engine_main.h"
#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"
#include "platform/code_page.h"
#include "results/printable_text.h"
#include "results/result_tree.h"
#include "results/run_state.h"
#include "results/status_view.h"

namespace shelvo {

namespace {

// Boxes on the terminal: the text on standard error, a question answered by
// --yes or --no, else on the terminal, else refused (a script that did not say).
class TerminalDialogs final : public DialogService {
public:
  explicit TerminalDialogs(int answer_all) : answer_all_(answer_all) {}

  DialogAnswer show_message(std::string_view text, std::string_view caption, DialogButtons buttons,
                            DialogIcon) override {
    // The box's caption goes after the tool's name, unless it is the program's own name.
    const std::string boxed = caption == "Shelvo" ? std::string(text) : std::string(caption) + ": " + std::string(text);
    if (buttons == DialogButtons::ok) {
      say(boxed);
      return DialogAnswer::ok;
    }
    // The answer follows the question on its last line.
    if (answer_all_ != 0) {
      say(boxed + (answer_all_ > 0 ? " (yes)" : " (no)"));
      return answer_all_ > 0 ? DialogAnswer::yes : DialogAnswer::no;
    }
    if (!::isatty(STDIN_FILENO)) {
      say(boxed + " (no: nobody to ask; --yes or --no answers every question)");
      return DialogAnswer::no;
    }
    ask(boxed + " (y/n) ");
    char line[16] = {};
    if (!std::fgets(line, sizeof line, stdin)) return DialogAnswer::no;
    return line[0] == 'y' || line[0] == 'Y' ? DialogAnswer::yes : DialogAnswer::no;
  }
private:
  int answer_all_;
};

// The listing the elements ask for (volume masks), through the engine: it opens
// the catalog, never creating one (or says why not), and shows which volumes
// there are.
bool list_volumes(const CommandLine& cl, ResultTree& tree) {
  ArgumentVector vector = cl.vector;
  vector.emplace_back("/W");
  FrontEnd front;
  front.results = &tree;
  front.create_missing_catalog = false;
  front.waits_as_writer = true; // the first step of a change
  return engine_main(static_cast<int>(vector.size()), vector, front) == engine_ok;
}

// A label or a listing's text from a catalog (Windows-1252) as UTF-8. Paths and
// the system's words are UTF-8 already, and say() makes every line printable.
std::string shown(std::string_view catalog_text) { return printable_utf8(catalog_text); }

// The catalog that /l: names (or the default), as the engine reads it.
std::string catalog_asked(const CommandLine& cl) {
  RunSettings settings;
  int count = static_cast<int>(cl.vector.size());
  classify_elements(count, cl.vector, settings);
  return settings.catalog_directory;
}

void say_if_any(const std::string& text) {
  if (!text.empty()) say(text);
}

// The label part of a listed volume's text: the listing shows the 15 bytes, with
// their blanks, then the version.
std::string label_of_listed(std::string_view text) {
  std::string label(text.substr(0, std::min(text.size(), label_length)));
  while (!label.empty() && label.back() == ' ') label.pop_back();
  return label;
}

int delete_command(const CommandLine& cl, const std::string& catalog, DialogService& dialogs) {
  const long number = *cl.delete_number;
  const std::optional<std::string> text = listed_text_of(volume_file_path(catalog, number));
  if (!text) {
    say("the catalog " + catalog + " has no volume " + std::to_string(number) + " (/W --numbers lists them)");
    return 1;
  }
  if (cl.label) {
    std::string wanted = utf8_to_cp1252(*cl.label);
    while (!wanted.empty() && wanted.back() == ' ') wanted.pop_back();
    if (label_of_listed(*text) != wanted) {
      say("volume " + std::to_string(number) + " of " + catalog + " is [" + shown(*text) + "], not labelled " +
          shown(wanted) + ": nothing was deleted");
      return 1;
    }
  }
  const std::string question = "Are you sure, you want to destroy data link to [" + shown(*text) + "] ?";
  const bool yes = dialogs.show_message(question, "Warning", DialogButtons::yes_no_default_no, DialogIcon::warning) ==
                   DialogAnswer::yes;
  // A stop while the question waited (its answer cut short) or right after it.
  if (stop_flag == 1) {
    say("stopped: nothing was deleted");
    return maintenance_stopped;
  }
  if (!yes) {
    say("nothing was deleted");
    return 1;
  }
  std::string failure;
  std::string repaired;
  const int done = delete_volume(catalog, number, *text, nullptr, failure, &repaired);
  say_if_any(repaired);
  if (done != 1) {
    say_if_any(failure);
    return 1;
  }
  say("volume " + std::to_string(number) + " [" + shown(*text) + "] was deleted; the volumes after it moved down by one");
  // Signals wait while the files move: one that came meanwhile finds the work done.
  if (stop_flag == 1) say("the stop came when the deletion was done: it stands");
  return 0;
}

// The status of an import or an export that returned code: a stop is told by
// the command itself ("stopped: ..."), and only a stop that cut it short counts.
int copy_status(int code) {
  if (code == 1) return 0;
  return stop_flag == 1 ? maintenance_stopped : 1;
}

// No status line, but a wait for another program holding the catalog is said
// at once, in the words every writer uses, for as long as the command runs.
class WaitsSaid {
public:
  WaitsSaid() { set_status_view(&view_); }
  ~WaitsSaid() { set_status_view(nullptr); }
  WaitsSaid(const WaitsSaid&) = delete;
  WaitsSaid& operator=(const WaitsSaid&) = delete;

private:
  TerminalStatusView view_{stderr, TerminalStatusView::Shown::nothing};
};

} // namespace

int run_maintenance_command(const CommandLine& cl) {
  TerminalDialogs dialogs(cl.answer_all);
  const WaitsSaid waits_said;
  ResultTree listing;
  const bool listed = list_volumes(cl, listing);
  say_if_any(run_report.repaired);
  // An export refuses a listing cut short (below), and says why once, there.
  const bool export_cut_short = listed && !cl.export_to.empty() && !run_report.cut_short.empty();
  if (!export_cut_short || !run_report.warning.starts_with(run_report.cut_short)) say_if_any(run_report.warning);
  if (!listed) {
    say_if_any(run_report.failure);
    return 1;
  }
  // A stop while the listing waited for another program: nothing was done.
  if (run_report.stopped || stop_flag == 1) {
    say("stopped: nothing was done");
    return maintenance_stopped;
  }
  if (run_report.catalog_moved)
    say("the catalog opened at " + run_report.catalog_directory + ", not at " + catalog_asked(cl) + " as asked: " +
        run_report.move_reason);
  const std::string catalog = run_report.catalog_directory;

  if (cl.delete_number) return delete_command(cl, catalog, dialogs);
  if (!cl.import_from.empty()) return copy_status(import_catalog(catalog, cl.import_from, dialogs, nullptr));

  // The listing chooses what is exported: one that ended at a volume file it
  // could not read cannot say which volumes after it the masks would choose. The
  // import stops at such a file too.
  if (export_cut_short) {
    say(run_report.cut_short + ": the volumes after it cannot be listed, so nothing was exported");
    return 1;
  }
  std::vector<ListedVolume> volumes;
  for (std::uint32_t row = 0; row < listing.top_level_count(); ++row) {
    const NodeId node = listing.top_level(row);
    volumes.push_back({listing.number(node), std::string(listing.text(node))});
  }
  return copy_status(export_volumes(catalog, cl.export_to, volumes, dialogs));
}

} // namespace shelvo
