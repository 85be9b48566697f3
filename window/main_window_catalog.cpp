// TForm1's current catalog: the text of Ed_pathbase, which titles the window,
// and the choice of another catalog through OpenDialog1.
#include "window/main_window.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "window/recent_catalogs_menu.h"
#include "window/result_area.h"
#include "window/run_controller.h"

namespace shelvo {

namespace {

const QString window_title_prefix = QStringLiteral("Shelvo - current database: ");

} // namespace

void TForm1::Ed_pathbaseChange() {
  setWindowTitle(window_title_prefix + Ed_pathbase->text());
  if (loading_) return;
  // What the tree shows belongs to the catalog that was current: a right click
  // or an export must never act on the new catalog by the old one's numbers.
  results_->tree().clear_result_tree();
  runs_->clear_flags();
  // So do the counts of its last run.
  results_->status()->setText(QStringLiteral("(none)"));
  results_->progress()->setValue(0);
}

std::string TForm1::catalog_path() const { return Ed_pathbase->text().toStdString(); }

void TForm1::OpenRecentCatalog(int item) {
  if (run_in_progress()) return;
  const QString chosen = recent_catalogs_->OpenRecentCatalog(item, Ed_pathbase->text());
  if (!chosen.isEmpty()) Ed_pathbase->setText(chosen);
}

bool TForm1::set_catalog_directory(const std::string& host_directory) {
  std::string path;
  std::string why;
  if (!catalog_path_for_directory(host_directory, path, why)) {
    runs_->dialogs().show_message("This directory cannot be a catalog: " + why + ".", "Shelvo", DialogButtons::ok,
                                  DialogIcon::warning);
    return false;
  }
  if (path.size() > max_catalog_path) {
    runs_->dialogs().show_message("The catalog path " + path + " is too long: a catalog path holds at most " +
                                      std::to_string(max_catalog_path) +
                                      " characters. Choose a directory nearer the root of a drive of the drive table.",
                                  "Shelvo", DialogButtons::ok, DialogIcon::warning);
    return false;
  }
  recent_catalogs_->PushRecentCatalog(Ed_pathbase->text());
  Ed_pathbase->setText(QString::fromStdString(path));
  return true;
}

void TForm1::ChooseNewClick() {
  if (run_in_progress()) return;
  // The dialog keeps the title the last import or export gave it.
  const std::optional<QString> directory = choose_directory(std::nullopt);
  if (!directory) return;
  // It opens next in the catalog now current.
  if (set_catalog_directory(directory->toStdString())) open_dialog_directory_ = *directory;
}

std::optional<QString> TForm1::choose_directory(const std::optional<QString>& title) {
  if (title) open_dialog_title_ = *title;
  if (open_dialog_directory_.isEmpty()) {
    const auto host = resolve_dos_path("c:\\voldepot");
    open_dialog_directory_ = host ? QString::fromStdString(*host) : QString();
  }
  const std::optional<QString> chosen = choose_file_(open_dialog_title_, open_dialog_directory_, open_dialog_name_);
  if (!chosen) return std::nullopt;
  const qsizetype cut = chosen->lastIndexOf(QLatin1Char('/'));
  if (cut < 0) return std::nullopt;
  open_dialog_name_ = chosen->mid(cut + 1);
  return chosen->left(cut + 1); // with its separator, as the path of a catalog
}

std::optional<QString> TForm1::choose_with_dialog(const QString& title, const QString& directory,
                                                  const QString& name) {
  QFileDialog dialog(this, title, directory, QStringLiteral("*.*"));
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

} // namespace shelvo
