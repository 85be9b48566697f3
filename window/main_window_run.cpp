// TForm1's runs: the Go action for the mode on screen, the actions on the
// finished tree (sorting, expanding, a right click), and the catalog
// maintenance of the Database menu.
#include "window/main_window.h"

#include <QCheckBox>
#include <QCollator>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>

#include <utility>
#include <vector>

#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"
#include "platform/code_page.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/tree_actions.h"
#include "window/controls.h"
#include "window/result_tree_model.h"
#include "window/screen_text.h"

namespace shelvo {

namespace {

// The automatic expansion after a search stops at these counts.
constexpr std::int32_t autoexpand_file_limit = 1500;
constexpr std::int32_t autoexpand_dir_limit = 250;

std::string text_of(const QLineEdit* edit) { return edit->text().toStdString(); }

} // namespace

// --- The Go action ----------------------------------------------------------------

void TForm1::set_services(DialogService* dialogs, Launcher* launcher) {
  dialogs_ = dialogs ? dialogs : &window_dialogs_;
  launcher_ = launcher ? launcher : &desktop_launcher_;
}

RunServices TForm1::services() { return RunServices{&tree_, dialogs_, launcher_}; }

std::string TForm1::catalog_path() const { return text_of(Ed_pathbase); }

// What could disturb a pass while it processes events is off for its duration:
// another mode, another catalog, import, export, quitting (deferred instead).
void TForm1::begin_run() {
  if (run_depth_++ > 0) return;
  for (QWidget* w : std::initializer_list<QWidget*>{Button1, Button3, Button2}) w->setEnabled(false);
  Database1->setEnabled(false);
  Preferences1->setEnabled(false);
}

void TForm1::end_run() {
  if (--run_depth_ > 0) return;
  for (QWidget* w : std::initializer_list<QWidget*>{Button1, Button3, Button2}) w->setEnabled(true);
  Database1->setEnabled(true);
  Preferences1->setEnabled(true);
  if (close_requested_) close();
}

void TForm1::BitBtnGoClick() {
  if (!GroupBoxNewDisk->isHidden()) run_add();
  else if (GroupBoxRecherche->isHidden() && !GroupBoxVolume->isHidden()) run_list();
  else if (!GroupBoxRecherche->isHidden()) run_search();
}

void TForm1::run_add() {
  if (!BitBtnGo->isEnabled()) return;
  stop_flag = 0;
  BitBtnGo->setEnabled(false);
  begin_run();
  const char letter = DriveComboBox1->selected_letter();
  AddControls controls;
  controls.catalog_path = catalog_path();
  controls.drive_text = letter ? std::string(1, letter) + ":" : std::string();
  controls.overwrite = !Che_overwriteolddisk->isChecked();
  controls.advanced_mode = advanced_mode();
  if (letter) build_add_vector(controls, services());
  else dialogs_->show_message("No drive is chosen: the drive table is empty.", "Shelvo", DialogButtons::ok,
                              DialogIcon::warning);
  BitBtnGo->setEnabled(true);
  end_run();
}

void TForm1::run_list() {
  if (run_in_progress() && !refresh_allowed_) return;
  stop_flag = 0;
  begin_run();
  ListControls controls;
  controls.catalog_path = catalog_path();
  for (std::size_t k = 0; k < Ed_volumemask.size(); ++k) controls.volume_masks[k] = text_of(Ed_volumemask[k]);
  controls.only_total = Che_onlytotal->isChecked();
  // A refused listing left the tree as it was: its flags stay true to it.
  if (build_list_vector(controls, services()) == run_refused) {
    end_run();
    return;
  }
  if (!Che_onlytotal->isChecked()) volumes_listed_flag = 1;
  search_results_flag = 0;
  Bou_sortbysize->setText(QStringLiteral("Sort by Date"));
  end_run();
}

void TForm1::run_search() {
  if (!BitBtnGo->isEnabled()) return;
  SearchControls controls;
  controls.catalog_path = catalog_path();
  for (std::size_t k = 0; k < Ed_search.size(); ++k)
    controls.masks[k] = Che_addstar->isChecked() ? add_stars(text_of(Ed_search[k])) : text_of(Ed_search[k]);
  controls.option = text_of(Ed_option);
  controls.archive = Che_archive->isChecked();
  controls.directory = Che_directory->isChecked();
  controls.contains_dir = Che_containsdir->isChecked();
  controls.only_directory = Che_onlydirectory->isChecked();
  controls.only_total = Che_onlytotal->isChecked();
  for (std::size_t k = 0; k < Ed_volumemask.size(); ++k) controls.volume_masks[k] = text_of(Ed_volumemask[k]);
  // A search that cannot run is refused before anything changes: the masks, the
  // tree, its flags and the recent searches stay as they were.
  if (const BuiltVector built = search_vector(controls); !built.refusal.empty()) {
    dialogs_->show_message(built.refusal, "Shelvo", DialogButtons::ok, DialogIcon::warning);
    return;
  }
  stop_flag = 0;
  for (std::size_t k = 0; k < Ed_search.size(); ++k) Ed_search[k]->setText(QString::fromStdString(controls.masks[k]));
  BitBtnGo->setEnabled(false);
  begin_run();

  // The tree stays hidden while the pass fills it, behind "Please wait..." and
  // the progress bar, and is shown once, whole, when the pass is over.
  model_->set_frozen(true);
  TreeView1->hide();
  build_search_vector(controls, services());
  TreeView1->show();
  model_->set_frozen(false);
  if (Che_autoexpand->isChecked() && counters.found_files < autoexpand_file_limit &&
      counters.found_dirs < autoexpand_dir_limit)
    Bou_expandallClick();

  Bou_sortbysize->setText(QStringLiteral("Sort by Size"));
  volumes_listed_flag = 0;
  if (!Che_onlytotal->isChecked()) search_results_flag = 1;
  BitBtnGo->setEnabled(true);
  // Before the run ends: a close that waited for it saves the settings then.
  PushRecentSearch();
  end_run();
}

void TForm1::Bou_stopClick() { stop_flag = 1; }

// --- Tree actions -----------------------------------------------------------------

void TForm1::Bou_sortbynameClick() {
  if (sort_refused()) {
    dialogs_->show_message(sort_refusal_text, "Bad Idea", DialogButtons::ok, DialogIcon::information);
    return;
  }
  // The locale's order, by the collation rules Qt carries rather than those of
  // whichever system locales happen to be installed.
  QLocale locale = QLocale::system();
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
  QCollator collator(locale);
  sort_tree_by_text(
      tree_,
      [&](std::string_view a, std::string_view b) {
        return collator.compare(to_screen(a), to_screen(b)) < 0;
      },
      Che_reversesort->isChecked());
}

void TForm1::Bou_sortbysizeClick() {
  if (sort_refused()) {
    dialogs_->show_message(sort_refusal_text, "Bad Idea", DialogButtons::ok, DialogIcon::information);
    return;
  }
  sort_tree_by_number(tree_, Che_reversesort->isChecked());
}

void TForm1::TreeView1MouseDown(Qt::MouseButton button, QPoint position) {
  if (button != Qt::RightButton) return;
  const QModelIndex at = TreeView1->indexAt(position);
  if (!at.isValid()) return;
  const NodeId node = model_->node_of(at);
  if (!GroupBoxVolume->isHidden() && volumes_listed_flag == 1) {
    if (run_in_progress()) return; // the catalog is being read or changed
    const std::string text(tree_.text(node));
    const std::string question = "Are you sure, you want to destroy data link to [" + cp1252_to_utf8(text) + "] ?";
    if (dialogs_->show_message(question, "Warning", DialogButtons::yes_no_default_no, DialogIcon::warning) !=
        DialogAnswer::yes)
      return;
    std::string failure;
    std::string repaired;
    begin_run();
    const int done =
        delete_volume(catalog_path(), tree_.number(node), text, [this] { refresh_listing(); }, failure, &repaired);
    end_run();
    if (!repaired.empty()) dialogs_->show_message(repaired + ".", "Shelvo", DialogButtons::ok, DialogIcon::information);
    if (done != 1) dialogs_->show_message(failure, "Failure", DialogButtons::ok, DialogIcon::error);
    return;
  }
  if (!GroupBoxRecherche->isHidden() && search_results_flag == 1) {
    bool is_directory = false;
    const std::string path = found_path_of(tree_, node, is_directory);
    if (!path.empty()) open_found(path, is_directory);
  }
}

void TForm1::open_found(const std::string& relative_path, bool is_directory) {
  // The paths that exist but that no program could open are told, not dropped.
  struct Counting final : Launcher {
    Launcher& inner;
    std::vector<std::string> failed;
    explicit Counting(Launcher& launcher) : inner(launcher) {}
    bool open_text_file(const std::string& path) override { return note(path, inner.open_text_file(path)); }
    bool open_with_desktop(const std::string& path) override { return note(path, inner.open_with_desktop(path)); }
    bool note(const std::string& path, bool opened) {
      if (!opened) failed.push_back(path);
      return opened;
    }
  } counting(*launcher_);
  open_found_path(relative_path, is_directory, counting);
  if (counting.failed.empty()) return;
  std::string text = "No program could be started to open:";
  for (const std::string& path : counting.failed) text += "\n" + path;
  text += "\n\nA desktop's opener (xdg-open) opens found files and directories.";
  dialogs_->show_message(text, "Shelvo", DialogButtons::ok, DialogIcon::warning);
}

// --- Catalog maintenance ----------------------------------------------------------

void TForm1::refresh_listing() {
  const bool saved = std::exchange(refresh_allowed_, true);
  Button2Click();
  BitBtnGoClick();
  refresh_allowed_ = saved;
}


void TForm1::ImportDatabaseincurrentone1Click() {
  if (run_in_progress()) return;
  const std::optional<QString> other = choose_directory(QStringLiteral("Locating database to import"));
  if (!other) return;
  begin_run();
  import_catalog(catalog_path(), other->toStdString(), *dialogs_, [this] { refresh_listing(); });
  end_run();
}

void TForm1::Exportdatalinktovolumeinthetree1Click() {
  if (run_in_progress()) return;
  if (volumes_listed_flag != 1) {
    dialogs_->show_message(wrong_moment_message, "Wrong Moment", DialogButtons::ok, DialogIcon::none);
    return;
  }
  const std::optional<QString> target = choose_directory(QStringLiteral("Locating directory to export"));
  if (!target) return;
  std::vector<ListedVolume> volumes; // in the order the tree shows them
  for (std::uint32_t row = 0; row < tree_.top_level_count(); ++row) {
    const NodeId node = tree_.top_level(row);
    volumes.push_back({tree_.number(node), std::string(tree_.text(node))});
  }
  begin_run();
  export_volumes(catalog_path(), target->toStdString(), volumes, *dialogs_);
  end_run();
}

void TForm1::Bou_expandallClick() { TreeView1->expandAll(); }

void TForm1::Bou_collapseallClick() {
  TreeView1->collapseAll();
  TreeView1->horizontalScrollBar()->setValue(0); // else what is left of the tree may lie out of sight
}
} // namespace shelvo
