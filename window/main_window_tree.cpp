// TForm1's actions on the finished tree that depend on the mode and on what the
// tree holds: opening a found file or folder, deleting a listed volume (from
// the mouse's right click and the keyboard alike), and the catalog maintenance
// of the Database menu, which shows the listing again.
#include "window/main_window.h"

#include <QTreeView>

#include <string>
#include <utility>
#include <vector>

#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"
#include "platform/code_page.h"
#include "results/tree_actions.h"
#include "window/list_panel.h"
#include "window/result_area.h"
#include "window/result_tree_model.h"
#include "window/run_controller.h"
#include "window/search_panel.h"

namespace shelvo {

TreeActionsAllowed TForm1::tree_actions_allowed(NodeId node) const {
  TreeActionsAllowed allowed;
  if (node == no_node) return allowed;
  allowed.delete_volume =
      list_->shown() && runs_->volumes_listed_flag() == 1 && results_->tree().parent(node) == no_node;
  allowed.open = search_->shown() && runs_->search_results_flag() == 1 && results_->tree().parent(node) != no_node;
  return allowed;
}

void TForm1::TreeView1MouseDown(Qt::MouseButton button, QPoint position) {
  if (button != Qt::RightButton) return;
  const QModelIndex at = results_->view()->indexAt(position);
  if (!at.isValid()) return;
  const NodeId node = results_->model().node_of(at);
  if (list_->shown() && runs_->volumes_listed_flag() == 1) {
    delete_listed_volume(node);
    return;
  }
  if (search_->shown() && runs_->search_results_flag() == 1) open_found(node, false);
}

void TForm1::delete_listed_volume(NodeId node) {
  if (run_in_progress()) return; // the catalog is being read or changed
  DialogService& dialogs = runs_->dialogs();
  const std::string text(results_->tree().text(node));
  const std::string question = "Are you sure, you want to destroy data link to [" + cp1252_to_utf8(text) + "] ?";
  if (dialogs.show_message(question, "Warning", DialogButtons::yes_no_default_no, DialogIcon::warning) !=
      DialogAnswer::yes)
    return;
  std::string failure;
  std::string repaired;
  runs_->begin_run();
  const int done = delete_volume(catalog_path(), results_->tree().number(node), text, [this] { refresh_listing(); },
                                 failure, &repaired);
  runs_->end_run();
  if (!repaired.empty()) dialogs.show_message(repaired + ".", "Shelvo", DialogButtons::ok, DialogIcon::information);
  if (done != 1) dialogs.show_message(failure, "Failure", DialogButtons::ok, DialogIcon::error);
}

void TForm1::open_found(NodeId node, bool folder) {
  bool is_directory = false;
  const std::string path = found_path_of(results_->tree(), node, is_directory);
  if (path.empty()) return;
  OpenProblems problems;
  int opened = 0;
  if (!folder) {
    opened = open_found_path(path, is_directory, runs_->launcher(), &problems);
  } else {
    // The folder that holds the node, on each drive that has the node (for a
    // member, the folder of its archive).
    struct Found final : Launcher {
      std::vector<std::string> paths;
      bool open_text_file(const std::string& host) override { return open_with_desktop(host); }
      bool open_with_desktop(const std::string& host) override {
        paths.push_back(host);
        return true;
      }
    } found;
    open_found_path(path, is_directory, found, &problems);
    if (found.paths.empty() && !problems.archive.empty()) found.paths.push_back(problems.archive);
    for (std::string host : found.paths) {
      while (host.size() > 1 && host.back() == '/') host.pop_back();
      host.resize(host.find_last_of('/') + 1);
      if (runs_->launcher().open_with_desktop(host)) ++opened;
      else problems.failed.push_back(host);
    }
  }
  DialogService& dialogs = runs_->dialogs();
  const std::string shown = cp1252_to_utf8(path);
  if (!problems.failed.empty()) {
    // The paths that exist but that no program could open are told, not dropped.
    std::string text = "No program could be started to open:";
    for (const std::string& failed : problems.failed) text += "\n" + failed;
    text += "\n\nA desktop's opener (xdg-open) opens found files and directories.";
    dialogs.show_message(text, "Shelvo", DialogButtons::ok, DialogIcon::warning);
  } else if (opened == 0 && !problems.archive.empty() && !folder) {
    dialogs.show_message(shown + " is a member of the archive " + problems.archive +
                             ": a member opens through its archive (open the archive's node, or its folder).",
                         "Shelvo", DialogButtons::ok, DialogIcon::information);
  } else if (opened == 0) {
    dialogs.show_message(shown + " is on no drive of the drive table now: its volume is not mounted, or it was moved "
                                 "since it was added.",
                         "Shelvo", DialogButtons::ok, DialogIcon::information);
  }
}

void TForm1::refresh_listing() {
  Button2Click();
  runs_->refresh_listing();
}

void TForm1::ImportDatabaseincurrentone1Click() {
  if (run_in_progress()) return;
  const std::optional<QString> other = choose_directory(QStringLiteral("Locating database to import"));
  if (!other) return;
  runs_->begin_run();
  import_catalog(catalog_path(), other->toStdString(), runs_->dialogs(), [this] { refresh_listing(); });
  runs_->end_run();
}

void TForm1::Exportdatalinktovolumeinthetree1Click() {
  if (run_in_progress()) return;
  if (runs_->volumes_listed_flag() != 1) {
    runs_->dialogs().show_message(wrong_moment_message, "Wrong Moment", DialogButtons::ok, DialogIcon::none);
    return;
  }
  const std::optional<QString> target = choose_directory(QStringLiteral("Locating directory to export"));
  if (!target) return;
  const ResultTree& tree = results_->tree();
  std::vector<ListedVolume> volumes; // in the order the tree shows them
  for (std::uint32_t row = 0; row < tree.top_level_count(); ++row) {
    const NodeId node = tree.top_level(row);
    volumes.push_back({tree.number(node), std::string(tree.text(node))});
  }
  runs_->begin_run();
  export_volumes(catalog_path(), target->toStdString(), volumes, runs_->dialogs());
  runs_->end_run();
}

} // namespace shelvo
