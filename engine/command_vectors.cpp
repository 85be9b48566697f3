#include "engine/command_vectors.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/engine_main.h"
#include "platform/code_page.h"
#include "platform/file_access.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/status_view.h"
#include "scanner/broken_archive_log.h"

namespace shelvo {

namespace {

constexpr std::size_t catalog_element_prefix = 3; // "/l:"

class VectorBuilder {
public:
  VectorBuilder() { built_.vector.emplace_back(); }

  // Appends an element unless it is too long; the first refusal is kept.
  void push(std::string element, const std::string& refusal) {
    if (!built_.refusal.empty()) return;
    if (element.size() > element_limit) built_.refusal = refusal;
    else built_.vector.push_back(std::move(element));
  }
  void catalog(const std::string& path) {
    push("/l:" + path, "The catalog path \"" + path + "\" is too long: a catalog path holds at most " +
                           std::to_string(element_limit - catalog_element_prefix) +
                           " characters. A drive letter of the drive table keeps it short.");
  }
  void volume_masks(const std::array<std::string, 4>& masks) {
    for (std::size_t k = 0; k < masks.size(); ++k) {
      if (masks[k].empty()) continue;
      const std::string mask = utf8_to_cp1252(masks[k]);
      // A volume label has 15 characters: the engine would cut a longer mask and
      // select other volumes than the user asked for.
      if (mask.size() > MaskList::volume_mask_limit && built_.refusal.empty()) {
        built_.refusal = "Volume mask " + std::to_string(k + 1) + " is too long: a volume label has " +
                         std::to_string(MaskList::volume_mask_limit) + " characters, so a volume mask holds at most " +
                         std::to_string(MaskList::volume_mask_limit) + ".";
        return;
      }
      push("[" + mask + "]", "");
    }
  }
  void refuse(std::string why) {
    if (built_.refusal.empty()) built_.refusal = std::move(why);
  }
  BuiltVector take() { return std::move(built_); }

private:
  BuiltVector built_;
};

bool refused(const BuiltVector& built, const RunServices& services) {
  if (built.refusal.empty()) return false;
  if (services.dialogs) services.dialogs->show_message(built.refusal, "Shelvo", DialogButtons::ok, DialogIcon::warning);
  return true;
}

int run_engine(const BuiltVector& built, const RunServices& services, bool only_total) {
  if (services.results) services.results->clear_result_tree();
  FrontEnd front;
  front.results = services.results;
  front.only_total = only_total; // the window has no console: a duplicate without /Y or /N is refused
  return engine_main(static_cast<int>(built.vector.size()), built.vector, front);
}

// What the engine's code alone does not say: where the catalog really opened,
// what a program that was stopped had left half done, and why a run failed, in
// the system's words.
void report_run(int code, const RunServices& services) {
  if (!services.dialogs) return;
  if (!run_report.repaired.empty())
    services.dialogs->show_message(run_report.repaired + ".", "Shelvo", DialogButtons::ok, DialogIcon::information);
  if (!run_report.warning.empty())
    services.dialogs->show_message(run_report.warning + ".", "Shelvo", DialogButtons::ok, DialogIcon::warning);
  if (run_report.catalog_moved)
    services.dialogs->show_message("The catalog could not be used (" + run_report.move_reason + ").\nThis run used " +
                                       run_report.catalog_directory + " instead.",
                                   "Shelvo", DialogButtons::ok, DialogIcon::warning);
  if ((code == engine_failed || code == engine_cannot_create) && !run_report.failure.empty() && !run_report.stopped)
    services.dialogs->show_message(run_report.failure, "Shelvo", DialogButtons::ok, DialogIcon::warning);
}

} // namespace

std::string add_stars(std::string_view text) {
  if (text.empty()) return {};
  std::string out(text);
  // An exclusion mask keeps its backslash in front of the stars.
  const std::size_t body = out.front() == '\\' ? 1 : 0;
  if (out.size() == body) return out;
  if (out[body] != '*') out.insert(body, 1, '*');
  if (out.back() != '*') out += '*';
  return out;
}

std::string skipped_entries_message(const SkippedEntries& skipped) {
  std::string reasons;
  const auto reason = [&](std::int32_t count, const char* what) {
    if (count > 0) reasons += (reasons.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  reason(skipped.unreadable, "unreadable");
  reason(skipped.too_long, "with a path too long");
  reason(skipped.special, "neither file nor directory");
  const long total = skipped.total();
  return "The volume was added, but " + std::to_string(total) + (total == 1 ? " entry was" : " entries were") +
         " left out of it (" + reasons + "); the first: " + skipped.first + ".";
}

std::string own_folders_message(const std::vector<std::string>& left_out) {
  std::string folders;
  for (const std::string& folder : left_out) folders += (folders.empty() ? "" : ", ") + folder;
  return "The volume was recorded without Shelvo's own folders, which this drive holds: " + folders + ".";
}

std::string unmatched_volume_masks_message(const std::array<std::string, 4>& volume_masks) {
  std::string masks;
  for (const std::string& mask : volume_masks)
    if (!mask.empty()) masks += (masks.empty() ? "[" : " [") + mask + "]";
  return "No volume label matched " + masks +
         ", so nothing was searched. Volume masks are case-sensitive and match the whole 15-character label (end a "
         "mask with '*'; labels are stored without dots). List Volumes shows the labels.";
}

std::string broken_archives_question(long broken) {
  std::array<char, 160> text{};
  std::snprintf(text.data(), text.size(),
                "%10ld file(s) in archive seems to be broken.\n\nDo you want to see last error(s) logging file ?",
                broken);
  return text.data();
}

BuiltVector add_vector(const AddControls& controls) {
  VectorBuilder b;
  b.push(controls.drive_text, "The drive \"" + controls.drive_text + "\" is not a drive letter.");
  b.catalog(controls.catalog_path);
  if (controls.add_again) b.push("/SLE", "");
  b.push(controls.overwrite ? "/Y" : "/N", "");
  return b.take();
}

BuiltVector list_vector(const ListControls& controls) {
  VectorBuilder b;
  b.push("/W", "");
  b.catalog(controls.catalog_path);
  b.volume_masks(controls.volume_masks);
  return b.take();
}

BuiltVector search_vector(const SearchControls& controls) {
  VectorBuilder b;
  b.catalog(controls.catalog_path);
  for (std::size_t k = 0; k < controls.masks.size(); ++k) {
    if (controls.masks[k].empty()) continue;
    const std::string mask = utf8_to_cp1252(controls.masks[k]);
    const std::string box = "Search mask " + std::to_string(k + 1);
    // The engine takes an element whose second character is ':' for a drive to
    // add: a search box must never add a drive to the catalog.
    if (classify_element(mask) != ElementKind::search_mask)
      b.refuse(box + " \"" + controls.masks[k] +
               "\" would not be read as a mask (it starts with '-', '/' or '[', or its second character is ':'). "
               "Put a '*' or a '?' in front of it.");
    b.push(mask, box + " is too long: a mask holds at most " + std::to_string(element_limit) + " characters.");
  }
  if (!controls.option.empty())
    b.push(utf8_to_cp1252(controls.option),
           "The option text is too long: it holds at most " + std::to_string(element_limit) + " characters.");
  // Without a mask the engine only opens the catalog: the counts would read as
  // a search that found nothing.
  const bool masked = std::any_of(controls.masks.begin(), controls.masks.end(),
                                  [](const std::string& mask) { return !mask.empty(); }) ||
                      (!controls.option.empty() &&
                       classify_element(utf8_to_cp1252(controls.option)) == ElementKind::search_mask);
  if (!masked) b.refuse(std::string(no_search_mask_message));
  if (controls.archive) b.push("/a", "");
  if (controls.directory) b.push("/d", "");
  if (controls.contains_dir) b.push("/cd", "");
  if (controls.only_directory) b.push("/jd", "");
  if (controls.only_total) b.push("/nd", "");
  b.volume_masks(controls.volume_masks);
  return b.take();
}

int build_add_vector(const AddControls& controls, const RunServices& services) {
  const BuiltVector built = add_vector(controls);
  if (refused(built, services)) return run_refused;
  const int code = run_engine(built, services, false);
  if (code == engine_already_known) {
    if (StatusView* view = status_view()) view->set_status_caption(duplicate_drive_status);
    if (!controls.advanced_mode && services.dialogs)
      services.dialogs->show_message(duplicate_drive_message, "Message", DialogButtons::ok, DialogIcon::none);
    return code;
  }
  show_scan_status();
  // A stopped add wrote nothing: its last counts must not read as a finished one.
  if (run_report.stopped)
    if (StatusView* view = status_view())
      view->set_status_caption(scan_status_line() + std::string(stop_note) + std::string(nothing_added_note));
  report_run(code, services);
  if (code == engine_ok && !run_report.left_out.empty() && services.dialogs)
    services.dialogs->show_message(own_folders_message(run_report.left_out), "Shelvo", DialogButtons::ok,
                                   DialogIcon::information);
  if (const SkippedEntries& skipped = run_report.skipped; code == engine_ok && skipped.total() > 0 && services.dialogs)
    services.dialogs->show_message(skipped_entries_message(skipped), "Shelvo", DialogButtons::ok, DialogIcon::warning);
  if (!run_report.log_failure.empty() && services.dialogs)
    services.dialogs->show_message(run_report.log_failure, "Shelvo", DialogButtons::ok, DialogIcon::warning);
  if (counters.broken_archives > 0 && services.dialogs &&
      services.dialogs->show_message(broken_archives_question(counters.broken_archives), "WARNING",
                                     DialogButtons::yes_no, DialogIcon::warning) == DialogAnswer::yes &&
      services.launcher) {
    const auto log = resolve_dos_path(broken_archive_log_path);
    if (!log || !services.launcher->open_text_file(*log))
      services.dialogs->show_message("No program could be started to show the log " +
                                         std::string(broken_archive_log_path) + (log ? " (" + *log + ")" : "") +
                                         ". Open it with a text editor.",
                                     "Shelvo", DialogButtons::ok, DialogIcon::warning);
  }
  return code;
}

int build_list_vector(const ListControls& controls, const RunServices& services) {
  const BuiltVector built = list_vector(controls);
  if (refused(built, services)) return run_refused;
  const int code = run_engine(built, services, controls.only_total);
  show_volume_count();
  report_run(code, services);
  return code;
}

int build_search_vector(const SearchControls& controls, const RunServices& services) {
  const BuiltVector built = search_vector(controls);
  if (refused(built, services)) return run_refused;
  const int code = run_engine(built, services, false);
  finish_search_display();
  report_run(code, services);
  const bool masked = std::any_of(controls.volume_masks.begin(), controls.volume_masks.end(),
                                  [](const std::string& mask) { return !mask.empty(); });
  if (code == engine_ok && masked && run_report.volumes_selected == 0 && !run_report.stopped && services.dialogs)
    services.dialogs->show_message(unmatched_volume_masks_message(controls.volume_masks), "Shelvo", DialogButtons::ok,
                                   DialogIcon::information);
  return code;
}

} // namespace shelvo
