// TForm1, the one window of Shelvo: the three function modes and their group
// boxes, advanced mode, the option rules, the Go action that runs the engine for
// the mode on screen, and the result tree with its status line.
//
// Every control has the objectName of its role (Ed_search1, Che_archive,
// BitBtnGo, ...), so tests and accessibility tools find it by that name. The mode
// on screen is read with isHidden(), never isVisible(), which is false for every
// control before the window is shown.
//
// One class, one file per concern: main_window.cpp (building and wiring the
// window, its events), _form (controls, menu, tab order, resize), _modes (the
// modes and option rules), _run (Go, the tree's actions, maintenance),
// _catalog (the current catalog), _recent (recent searches and catalogs),
// _settings (what is kept between runs), _geometry (where the window opens).
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "engine/command_vectors.h"
#include "results/result_tree.h"
#include "window/recent_searches.h"
#include "window/settings_table.h"
#include "window/window_services.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QTreeView;

namespace shelvo {

class ClickableLabel;
class DriveComboBox;
class ResultTreeModel;
class SettingsStore;

class TForm1 final : public QMainWindow {
public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The mode switches. by_user: a click on the button (Search: a second click
  // runs the search); the program switches without it.
  void Button1Click();
  void Button3Click(bool by_user);
  void Button2Click();

  void AdvancedMode1Click();
  void ApplyAdvancedMode();
  bool advanced_mode() const { return advanced_mode_ == 1; }

  void Che_containsdirClick();
  void Che_onlydirectoryClick();
  void Che_onlytotalClick();
  void Lab_onlytotalClick();
  void ApplyOnlyTotal();
  void MarkExclusionMask(QLineEdit* edit);

  // The layout rules for the client area's size.
  void FormResize();
  void About1Click();
  void Exit1Click();

  // The Go action, for the mode on screen.
  void BitBtnGoClick();
  void Bou_stopClick();
  void Bou_expandallClick();
  void Bou_collapseallClick();
  // Enter in a mask edit runs Go.
  void GoOnEnter(int key);

  // Settings: loaded when the window is created, saved when it closes.
  void FormCreate();
  void FormDestroy();
  // What FormCreate does with the settings it opens: every row of the settings
  // table read from store, then the rules that follow from them (fuzzing feeds
  // it any store).
  void load_settings(SettingsStore& store);
  // The names of every stored value, in the order they are read and written.
  QStringList setting_keys();
  // What the last FormCreate could not use, said once when the window shows.
  const QString& startup_notice() const { return startup_notice_; }
  // The remembered searches and catalogs.
  void PushRecentSearch();
  void Com_search1Change(int item);
  void PushRecentCatalog(const QString& path);
  void OpenRecentCatalog(int item); // D_1Click .. D_4Click with item 0 .. 3
  const RecentSearchTable& recent_searches() const { return recent_searches_; }
  const std::array<QString, 4>& recent_catalogs() const { return recent_catalogs_; }
  // The current catalog.
  void Ed_pathbaseChange();
  void ChooseNewClick();
  // Makes a host directory the current catalog: a drive-table path where one
  // fits, ending with a separator, at most 60 characters. False, after telling
  // the user why, when it cannot be.
  bool set_catalog_directory(const std::string& host_directory);
  // How "Choose New..." asks for a file: (title, initial directory, preset
  // name) -> the full path chosen, or nothing when cancelled. Tests replace it.
  using FileChooser = std::function<std::optional<QString>(const QString&, const QString&, const QString&)>;
  void set_file_chooser(FileChooser chooser) { choose_file_ = std::move(chooser); }

  // The stored size is the window's outer size; Qt sizes what lies inside the
  // frame. frame is the outer size less the inner one (none offscreen).
  static QSize inner_size_for(QSize outer, QSize frame) { return outer - frame; }
  // The clamps of a stored place: a window that would open far off the screen.
  static QPoint clamped_place(int left, int top);
  // An outer geometry moved and, if it must, shrunk to lie whole in available.
  static QRect fitted_to(QRect outer, const QRect& available);
  // The client area below which Go or the longest status line would be cut, and
  // the one a first start opens with: the design's, wide enough for the tree to
  // show every padded file line whole.
  QSize minimum_client_size() const;
  QSize default_client_size() const;
  // True until the stored geometry is applied in the window's frame (or given up
  // for one the user or the program chose).
  bool geometry_pending() const { return stored_geometry_.has_value(); }

  // The tree's actions.
  void Bou_sortbynameClick();
  void Bou_sortbysizeClick();
  void TreeView1MouseDown(Qt::MouseButton button, QPoint position);
  // Catalog maintenance from the Database menu.
  void ImportDatabaseincurrentone1Click();
  void Exportdatalinktovolumeinthetree1Click();

  bool run_in_progress() const { return run_depth_ > 0; }
  std::uint8_t volumes_listed_flag = 0; // the tree holds a volume listing
  std::uint8_t search_results_flag = 0; // the tree holds search results

  ResultTree& result_tree() { return tree_; }
  ResultTreeModel& result_model() { return *model_; }
  // Replaces how the window asks and opens things (tests answer with fakes).
  void set_services(DialogService* dialogs, Launcher* launcher);

  // The design's client area, in pixels at 96 dots per inch.
  static constexpr int design_client_width = 804;
  static constexpr int design_client_height = 381;

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void create_controls();
  void create_menu();
  void set_tab_order();
  void connect_handlers();
  void switch_mode(int mode);
  // The catalog travels as the element "/l:PATH" of at most 63 characters.
  static constexpr std::size_t max_catalog_path = element_limit - 3;
  // The window's place as stored: outer top, left, width and height (a width
  // or height of 0 for none stored), and its state: 0 normal, 1 minimized,
  // 2 maximized.
  struct StoredPlace {
    std::int32_t top = 0;
    std::int32_t left = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t state = 0;
  };
  // Every value the window keeps, bound to its controls; place takes the
  // window's geometry.
  SettingsTable settings_table(StoredPlace& place);
  void restore_geometry(const StoredPlace& stored_place);
  // The geometry to store; normal: neither minimized nor maximized, the only
  // state whose place and size are kept.
  StoredPlace place_to_store(bool& normal) const;
  // Places the window by the stored geometry for a frame of the given size.
  void place_window(QSize frame);
  // Once the window manager has framed the window, places it again for that frame.
  void place_window_in_its_frame();
  // A path found by a right click, opened; says so when no program could open it.
  void open_found(const std::string& relative_path, bool is_directory);
  void begin_run();
  void end_run();
  // The listing again, after a deletion or an import changed the catalog.
  void refresh_listing();
  // Asks OpenDialog1 for a file and returns its directory, with a final
  // separator; nothing when cancelled. title: the dialog's new title, if any.
  std::optional<QString> choose_directory(const std::optional<QString>& title);
  // OpenDialog1: a file in the directory of the catalog; the name is ignored
  // and need not exist.
  std::optional<QString> choose_with_dialog(const QString& title, const QString& directory, const QString& name);
  // The captions of D_1 to D_4 from the recent catalogs.
  void show_recent_catalogs();
  RunServices services();
  std::string catalog_path() const;
  void run_add();
  void run_list();
  void run_search();

  ResultTree tree_;
  ResultTreeModel* model_ = nullptr;
  std::unique_ptr<WindowStatusView> status_view_;
  WindowDialogs window_dialogs_{this};
  DesktopLauncher desktop_launcher_;
  DialogService* dialogs_ = &window_dialogs_;
  Launcher* launcher_ = &desktop_launcher_;

  std::uint8_t advanced_mode_ = 0;
  int run_depth_ = 0;          // runs and maintenance under way, nested
  bool refresh_allowed_ = false; // a maintenance step shows the listing again
  bool close_requested_ = false;
  bool loading_ = false;

  RecentSearchTable recent_searches_;
  std::array<QString, 4> recent_catalogs_;
  FileChooser choose_file_;
  QString open_dialog_title_;
  QString open_dialog_directory_;
  QString open_dialog_name_;
  // The stored geometry until the window's frame is known (then applied for it)
  // or the window is moved or sized otherwise. outer: nothing for a first start.
  struct StoredGeometry {
    QPoint place;
    std::optional<QSize> outer;
    QRect intended;       // the outer geometry meant, fitted to the screen
    QPoint applied_place; // what was set for it: pos() and size()
    QSize applied_size;
  };
  std::optional<StoredGeometry> stored_geometry_;
  QString startup_notice_;

  QWidget* client_ = nullptr;
  // Left column.
  QSlider* TrackBarFonction = nullptr;
  QFrame* Pan_sousbouton = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button2 = nullptr;
  QLabel* Lab_help8 = nullptr;
  QLabel* Lab_help9 = nullptr;
  QLabel* Lab_help10 = nullptr;
  QLabel* Lab_option = nullptr;
  QLineEdit* Ed_option = nullptr;
  ClickableLabel* Lab_onlytotal = nullptr;
  QCheckBox* Che_onlytotal = nullptr;
  QLineEdit* Ed_pathbase = nullptr;
  // Group boxes of the modes.
  QGroupBox* GroupBoxNewDisk = nullptr;
  QGroupBox* GroupBoxRecherche = nullptr;
  QGroupBox* GroupBoxVolume = nullptr;
  QGroupBox* GroupBoxVolumeMask = nullptr;
  QLabel* Lab_help6 = nullptr;
  QLabel* Lab_help7 = nullptr;
  DriveComboBox* DriveComboBox1 = nullptr;
  QCheckBox* Che_overwriteolddisk = nullptr;
  QLabel* Lab_help1 = nullptr;
  QLabel* Lab_help2 = nullptr;
  QLabel* Lab_help3 = nullptr;
  QComboBox* Com_search1 = nullptr;
  QCheckBox* Che_directory = nullptr;
  QCheckBox* Che_archive = nullptr;
  std::array<QLineEdit*, 6> Ed_search{};
  QCheckBox* Che_containsdir = nullptr;
  QCheckBox* Che_onlydirectory = nullptr;
  QCheckBox* Che_addstar = nullptr;
  QLabel* Lab_help4 = nullptr;
  QLabel* Lab_help5 = nullptr;
  std::array<QLineEdit*, 4> Ed_volumemask{};
  // Go area and result area.
  QPushButton* BitBtnGo = nullptr;
  QPushButton* Bou_stop = nullptr;
  QLabel* Panel1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QTreeView* TreeView1 = nullptr;
  QLabel* Lab_status = nullptr;
  QLabel* Lab_found = nullptr;
  QPushButton* Bou_sortbyname = nullptr;
  QPushButton* Bou_sortbysize = nullptr;
  QCheckBox* Che_reversesort = nullptr;
  QPushButton* Bou_expandall = nullptr;
  QPushButton* Bou_collapseall = nullptr;
  QCheckBox* Che_autoexpand = nullptr;
  // Menu.
  QMenu* Database1 = nullptr;
  QAction* ChooseNew = nullptr;
  QAction* ImportDatabaseincurrentone1 = nullptr;
  QAction* Exportdatalinktovolumeinthetree1 = nullptr;
  QAction* Exit1 = nullptr;
  std::array<QAction*, 4> D_{};
  QMenu* Preferences1 = nullptr;
  QAction* AdvancedMode1 = nullptr;
  QAction* About1 = nullptr;
};

} // namespace shelvo
