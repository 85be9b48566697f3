// The runs of the window: Go for the mode on screen and Stop, the depth of the
// runs under way (so that nothing disturbs a pass while it processes events,
// and a close waits for it), the status view the passes draw on, the services
// that show messages and open things, and the two flags of what the tree holds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/command_vectors.h"
#include "window/window_services.h"

class QPushButton;
class QWidget;

namespace shelvo {

class AddPanel;
class ListPanel;
class ResultArea;
class SearchPanel;

// The box a stopped add shows, beside the note on its status line.
constexpr std::string_view stopped_add_message =
    "Nothing was added: the add was stopped before its end, and the catalog is as it was.";

class RunController {
public:
  RunController(QWidget* form, AddPanel& add, SearchPanel& search, ListPanel& list, ResultArea& results);
  ~RunController();
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // BitBtnGoClick: the run of the mode on screen; none when no mode is shown.
  void BitBtnGoClick();
  void Bou_stopClick();
  // The listing again while a maintenance step holds the run (a deletion or an
  // import changed the catalog).
  void refresh_listing();

  // Runs and maintenance under way, nested: the first begin and the last end
  // tell on_busy_changed.
  void begin_run();
  void end_run();
  bool in_progress() const { return run_depth_ > 0; }
  // A close asked for during a run stops it; on_close_after_run closes the
  // window when the pass has returned. False when the close must wait.
  bool close_now();

  // What the tree holds: a volume listing, search results. A new catalog
  // clears both, since the tree belonged to the old one.
  std::uint8_t volumes_listed_flag() const { return volumes_listed_flag_; }
  std::uint8_t search_results_flag() const { return search_results_flag_; }
  void clear_flags();

  // How the window asks and opens things; tests answer with fakes (nullptr:
  // the window's own).
  void set_services(DialogService* dialogs, Launcher* launcher);
  DialogService& dialogs() { return *dialogs_; }
  Launcher& launcher() { return *launcher_; }
  DesktopLauncher& desktop_launcher() { return desktop_launcher_; }
  RunServices services();

  QPushButton* go_button() const { return BitBtnGo; }

  std::function<std::string()> catalog_path;
  std::function<bool()> advanced_mode;
  std::function<void(bool busy)> on_busy_changed;
  std::function<void()> on_close_after_run;

private:
  void run_add();
  void run_list();
  void run_search();
  // After a run started from Go, the keyboard is where the next input goes:
  // the first field of the mode, not a control that disabling Go moved it to.
  void return_focus(QWidget* before, QWidget* first_field);

  AddPanel& add_;
  SearchPanel& search_;
  ListPanel& list_;
  ResultArea& results_;
  std::unique_ptr<WindowStatusView> status_view_;
  WindowDialogs window_dialogs_;
  DesktopLauncher desktop_launcher_;
  DialogService* dialogs_ = &window_dialogs_;
  Launcher* launcher_ = &desktop_launcher_;

  int run_depth_ = 0;
  bool refresh_allowed_ = false;
  bool close_requested_ = false;
  std::uint8_t volumes_listed_flag_ = 0;
  std::uint8_t search_results_flag_ = 0;

  QPushButton* BitBtnGo = nullptr;
  QPushButton* Bou_stop = nullptr;
};

} // namespace shelvo
