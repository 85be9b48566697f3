// TForm1, the one window of Shelvo. It keeps the window itself (its client
// area, menu bar, current catalog, settings and events) and wires the parts
// that each do one job:
//   ModeColumn         the mode buttons, their help texts and left-column options
//   AddPanel, SearchPanel, ListPanel, VolumeMaskBox
//                      the group boxes of the modes, each producing its *Controls
//   RunController      Go and Stop, the runs under way, the status view
//   ResultArea         the tree, the status line and the sort column
//   WindowPlacement    where the window opens and what is stored of it
//   RecentCatalogsMenu the last catalogs of the Database menu
//
// Every control has the objectName of its role (Ed_search1, Che_archive,
// BitBtnGo, ...), so tests and accessibility tools find it by that name. The mode
// on screen is read with isHidden(), never isVisible(), which is false for every
// control before the window is shown.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "engine/command_vectors.h"
#include "results/result_tree.h"
#include "window/mode_column.h"
#include "window/recent_searches.h"
#include "window/settings_table.h"
#include "window/window_placement.h"
#include "window/window_services.h"

class QAction;
class QLineEdit;
class QMenu;

namespace shelvo {

class AddPanel;
class ListPanel;
class RecentCatalogsMenu;
class ResultArea;
class ResultTreeModel;
class RunController;
class SearchPanel;
class SettingsStore;
class VolumeMaskBox;
struct TreeActionsAllowed;

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

  void Lab_onlytotalClick();
  void ApplyOnlyTotal();

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
  void Com_search1Change(int item);
  void OpenRecentCatalog(int item); // D_1Click .. D_4Click with item 0 .. 3
  const RecentSearchTable& recent_searches() const;
  const std::array<QString, 4>& recent_catalogs() const;
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

  static QSize inner_size_for(QSize outer, QSize frame) { return WindowPlacement::inner_size_for(outer, frame); }
  static QPoint clamped_place(int left, int top) { return WindowPlacement::clamped_place(left, top); }
  static QRect fitted_to(QRect outer, const QRect& available) { return WindowPlacement::fitted_to(outer, available); }
  // The client area below which Go, the longest status line or the sort column
  // would be cut, and the one a first start opens with: the design's, wide
  // enough for the tree to show every padded file line whole.
  QSize minimum_client_size() const;
  QSize default_client_size() const;
  // True until the stored geometry is applied in the window's frame (or given up
  // for one the user or the program chose).
  bool geometry_pending() const;

  // The tree's actions.
  void Bou_sortbynameClick();
  void Bou_sortbysizeClick();
  void TreeView1MouseDown(Qt::MouseButton button, QPoint position);
  // Catalog maintenance from the Database menu.
  void ImportDatabaseincurrentone1Click();
  void Exportdatalinktovolumeinthetree1Click();

  bool run_in_progress() const;
  std::uint8_t volumes_listed_flag() const; // the tree holds a volume listing
  std::uint8_t search_results_flag() const; // the tree holds search results

  ResultTree& result_tree();
  ResultTreeModel& result_model();
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
  void create_menu();
  void set_tab_order();
  void connect_parts();
  void show_mode(Mode mode);
  Mode mode_on_screen() const;
  std::string catalog_path() const;
  // The catalog travels as the element "/l:PATH" of at most 63 characters.
  static constexpr std::size_t max_catalog_path = element_limit - 3;
  // Every value the window keeps, bound to its controls; place takes the
  // window's geometry.
  SettingsTable settings_table(StoredPlace& place);
  // The right click's and the keyboard's actions on a found node, and the
  // deletion of a listed volume.
  TreeActionsAllowed tree_actions_allowed(NodeId node) const;
  void open_found(NodeId node, bool folder);
  void delete_listed_volume(NodeId node);
  // The listing again, after a deletion or an import changed the catalog.
  void refresh_listing();
  // Asks OpenDialog1 for a file and returns its directory, with a final
  // separator; nothing when cancelled. title: the dialog's new title, if any.
  std::optional<QString> choose_directory(const std::optional<QString>& title);
  // OpenDialog1: a file in the directory of the catalog; the name is ignored
  // and need not exist.
  std::optional<QString> choose_with_dialog(const QString& title, const QString& directory, const QString& name);

  QWidget* client_ = nullptr;
  QLineEdit* Ed_pathbase = nullptr;
  std::unique_ptr<ModeColumn> column_;
  std::unique_ptr<AddPanel> add_;
  std::unique_ptr<VolumeMaskBox> volume_masks_;
  std::unique_ptr<SearchPanel> search_;
  std::unique_ptr<ListPanel> list_;
  std::unique_ptr<ResultArea> results_;
  std::unique_ptr<RunController> runs_;
  std::unique_ptr<RecentCatalogsMenu> recent_catalogs_;
  std::unique_ptr<WindowPlacement> placement_;

  std::uint8_t advanced_mode_ = 0;
  bool loading_ = false;
  FileChooser choose_file_;
  QString open_dialog_title_;
  QString open_dialog_directory_;
  QString open_dialog_name_;
  QString startup_notice_;

  // Menu.
  QMenu* Database1 = nullptr;
  QAction* ChooseNew = nullptr;
  QAction* ImportDatabaseincurrentone1 = nullptr;
  QAction* Exportdatalinktovolumeinthetree1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Preferences1 = nullptr;
  QAction* AdvancedMode1 = nullptr;
  QAction* About1 = nullptr;
};

} // namespace shelvo
