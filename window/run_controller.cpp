#include "window/run_controller.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTreeView>

#include <utility>

#include "results/run_state.h"
#include "results/status_view.h"
#include "window/add_panel.h"
#include "window/design.h"
#include "window/list_panel.h"
#include "window/result_area.h"
#include "window/search_panel.h"
#include "window/volume_mask_box.h"

namespace shelvo {

namespace {

// The automatic expansion after a search stops at these counts.
constexpr std::int32_t autoexpand_file_limit = 1500;
constexpr std::int32_t autoexpand_dir_limit = 250;

// The picture of the Go button: there is no text on it.
QIcon go_picture() {
  QPixmap picture(36, 36);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(0, 160, 0));
  painter.setPen(QPen(QColor(0, 90, 0), 2));
  painter.drawEllipse(2, 2, 32, 32);
  painter.setPen(Qt::white);
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(13);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(0, 0, 36, 36), Qt::AlignCenter, QStringLiteral("Go!"));
  return QIcon(picture);
}

} // namespace

RunController::RunController(QWidget* form, AddPanel& add, SearchPanel& search, ListPanel& list,
                             ResultArea& results)
    : add_(add), search_(search), list_(list), results_(results), window_dialogs_(form) {
  BitBtnGo = place(new QPushButton(form), "BitBtnGo", 688, 6, 49, 49);
  BitBtnGo->setIcon(go_picture());
  BitBtnGo->setIconSize(QSize(36, 36));
  BitBtnGo->setAccessibleName(QStringLiteral("Go"));
  Bou_stop = place(new QPushButton(QStringLiteral("Stop!"), form), "Bou_stop", 688, 58, 49, 17);
  QObject::connect(BitBtnGo, &QPushButton::clicked, form, [this] { BitBtnGoClick(); });
  QObject::connect(Bou_stop, &QPushButton::clicked, form, [this] { Bou_stopClick(); });
  status_view_ = std::make_unique<WindowStatusView>(results_.status(), results_.progress());
  set_status_view(status_view_.get());
}

RunController::~RunController() {
  if (status_view() == status_view_.get()) set_status_view(nullptr);
}

void RunController::set_services(DialogService* dialogs, Launcher* launcher) {
  dialogs_ = dialogs ? dialogs : &window_dialogs_;
  launcher_ = launcher ? launcher : &desktop_launcher_;
}

RunServices RunController::services() { return RunServices{&results_.tree(), dialogs_, launcher_}; }

void RunController::clear_flags() {
  volumes_listed_flag_ = 0;
  search_results_flag_ = 0;
}

// What could disturb a pass while it processes events is off for its duration:
// another mode, another catalog, import, export, quitting (deferred instead).
void RunController::begin_run() {
  if (run_depth_++ == 0 && on_busy_changed) on_busy_changed(true);
}

void RunController::end_run() {
  if (--run_depth_ > 0) return;
  if (on_busy_changed) on_busy_changed(false);
  if (close_requested_ && on_close_after_run) on_close_after_run();
}

bool RunController::close_now() {
  if (!in_progress()) return true;
  // A window closed during a run would leave the pass working on a destroyed
  // window: the run is stopped (an add then keeps the catalog as it was) and
  // the window closes when the pass has returned.
  close_requested_ = true;
  stop_flag = 1;
  return false;
}

void RunController::BitBtnGoClick() {
  QWidget* before = QApplication::focusWidget();
  if (add_.shown()) {
    run_add();
    return_focus(before, add_.first_field());
  } else if (!search_.shown() && list_.shown()) {
    run_list();
    return_focus(before, list_.first_field());
  } else if (search_.shown()) {
    run_search();
    return_focus(before, search_.first_field());
  }
}

void RunController::return_focus(QWidget* before, QWidget* first_field) {
  if (!first_field || close_requested_) return;
  if (before && before != BitBtnGo && before->isVisible()) return;
  first_field->setFocus(Qt::TabFocusReason); // a mask's text selected, to be typed over
}

void RunController::run_add() {
  if (!BitBtnGo->isEnabled()) return;
  stop_flag = 0;
  BitBtnGo->setEnabled(false);
  begin_run();
  const AddControls controls = add_.controls(catalog_path(), advanced_mode());
  const bool ran = !controls.drive_text.empty();
  if (ran) build_add_vector(controls, services());
  else dialogs_->show_message("No drive is chosen: the drive table is empty.", "Shelvo", DialogButtons::ok,
                              DialogIcon::warning);
  // Said on the status line too, but a box is what a person who pressed Stop
  // looks at; not when the window is closing, which must not wait for an answer.
  if (ran && run_report.stopped && !close_requested_)
    dialogs_->show_message(std::string(stopped_add_message), "Shelvo", DialogButtons::ok, DialogIcon::information);
  BitBtnGo->setEnabled(true);
  end_run();
}

void RunController::run_list() {
  if (in_progress() && !refresh_allowed_) return;
  stop_flag = 0;
  begin_run();
  const ListControls controls = list_.controls(catalog_path());
  // A refused listing left the tree as it was: its flags stay true to it.
  if (build_list_vector(controls, services()) != run_refused) {
    if (!controls.only_total) volumes_listed_flag_ = 1;
    search_results_flag_ = 0;
    results_.set_sorted_by_date(true);
  }
  end_run();
}

void RunController::run_search() {
  if (!BitBtnGo->isEnabled()) return;
  const SearchControls controls = search_.controls(catalog_path());
  // A search that cannot run is refused before anything changes: the masks, the
  // tree, its flags and the recent searches stay as they were.
  if (const BuiltVector built = search_vector(controls); !built.refusal.empty()) {
    dialogs_->show_message(built.refusal, "Shelvo", DialogButtons::ok, DialogIcon::warning);
    return;
  }
  stop_flag = 0;
  search_.show_masks(controls);
  BitBtnGo->setEnabled(false);
  begin_run();

  // The tree stays hidden while the pass fills it, behind "Please wait..." and
  // the progress bar, and is shown once, whole, when the pass is over.
  results_.hide_for_search();
  build_search_vector(controls, services());
  results_.show_after_search();
  if (results_.autoexpand() && counters.found_files < autoexpand_file_limit &&
      counters.found_dirs < autoexpand_dir_limit)
    results_.Bou_expandallClick();

  results_.set_sorted_by_date(false);
  volumes_listed_flag_ = 0;
  if (!controls.only_total) search_results_flag_ = 1;
  BitBtnGo->setEnabled(true);
  // Before the run ends: a close that waited for it saves the settings then.
  search_.PushRecentSearch();
  end_run();
}

void RunController::Bou_stopClick() { stop_flag = 1; }

void RunController::refresh_listing() {
  const bool saved = std::exchange(refresh_allowed_, true);
  run_list();
  refresh_allowed_ = saved;
}

} // namespace shelvo
