#include "cli/maintenance_commands.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "engine/engine_main.h"
#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"
#include "results/result_tree.h"
#include "results/run_state.h"
#include "results/tree_text_output.h"

namespace shelvo {

namespace {

// Boxes on the terminal: the text on standard error, a question answered by
// --yes or --no, else on the terminal, else refused (a script that did not say).
class TerminalDialogs final : public DialogService {
public:
  explicit TerminalDialogs(int answer_all) : answer_all_(answer_all) {}

  DialogAnswer show_message(std::string_view text, std::string_view caption, DialogButtons buttons,
                            DialogIcon) override {
    std::fprintf(stderr, "%s: %s\n", std::string(caption).c_str(), std::string(text).c_str());
    if (buttons == DialogButtons::ok) return DialogAnswer::ok;
    if (answer_all_ != 0) {
      std::fputs(answer_all_ > 0 ? "(yes)\n" : "(no)\n", stderr);
      return answer_all_ > 0 ? DialogAnswer::yes : DialogAnswer::no;
    }
    if (!::isatty(STDIN_FILENO)) {
      std::fputs("(no: nobody to ask; --yes or --no answers every question)\n", stderr);
      return DialogAnswer::no;
    }
    std::fputs("(y/n) ", stderr);
    std::fflush(stderr);
    char line[16] = {};
    if (!std::fgets(line, sizeof line, stdin)) return DialogAnswer::no;
    return line[0] == 'y' || line[0] == 'Y' ? DialogAnswer::yes : DialogAnswer::no;
  }
private:
  int answer_all_;
};

// The listing the elements ask for (volume masks), through the engine: it opens
// the catalog (or says why not) and shows which volumes there are.
bool list_volumes(const CommandLine& cl, ResultTree& tree) {
  ArgumentVector vector = cl.vector;
  vector.emplace_back("/W");
  FrontEnd front;
  front.results = &tree;
  return engine_main(static_cast<int>(vector.size()), vector, front) == engine_ok;
}

std::string shown(std::string_view text) { return printable_utf8(text); }

} // namespace

int run_maintenance_command(const CommandLine& cl) {
  TerminalDialogs dialogs(cl.answer_all);
  ResultTree listing;
  if (!list_volumes(cl, listing)) {
    std::fprintf(stderr, "shelvo-cli: %s\n", shown(run_report.failure).c_str());
    return 1;
  }
  const std::string catalog = run_report.catalog_directory;

  if (cl.delete_number) {
    const long number = *cl.delete_number;
    const std::optional<std::string> text = listed_text_of(volume_file_path(catalog, number));
    if (!text) {
      std::fprintf(stderr, "shelvo-cli: the catalog %s has no volume %ld (/W --numbers lists them)\n",
                   shown(catalog).c_str(), number);
      return 1;
    }
    const std::string question = "Are you sure, you want to destroy data link to [" + shown(*text) + "] ?";
    if (dialogs.show_message(question, "Warning", DialogButtons::yes_no, DialogIcon::warning) != DialogAnswer::yes) {
      std::fputs("shelvo-cli: nothing was deleted\n", stderr);
      return 1;
    }
    std::string failure;
    if (delete_volume(catalog, static_cast<int>(number), *text, nullptr, failure) != 1) {
      std::fprintf(stderr, "shelvo-cli: %s\n", shown(failure).c_str());
      return 1;
    }
    std::fprintf(stderr, "shelvo-cli: volume %ld [%s] was deleted; the volumes after it moved down by one\n", number,
                 shown(*text).c_str());
    return 0;
  }
  if (!cl.import_from.empty()) return import_catalog(catalog, cl.import_from, dialogs, nullptr) == 1 ? 0 : 1;

  std::vector<int> numbers;
  for (std::uint32_t row = 0; row < listing.top_level_count(); ++row)
    numbers.push_back(listing.number(listing.top_level(row)));
  return export_volumes(catalog, cl.export_to, numbers, dialogs) == 1 ? 0 : 1;
}

} // namespace shelvo
