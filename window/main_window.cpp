// TForm1's life: the window built from its parts and wired, the mode switches
// and advanced mode, the events it watches, and what happens when it shows and
// closes.
#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <utility>
#include <vector>

#include "results/run_state.h"
#include "window/add_panel.h"
#include "window/design.h"
#include "window/list_panel.h"
#include "window/recent_catalogs_menu.h"
#include "window/result_area.h"
#include "window/result_tree_model.h"
#include "window/run_controller.h"
#include "window/search_panel.h"
#include "window/volume_mask_box.h"

namespace shelvo {

namespace {

// The longest status line: the search line with every field full and the stop note.
constexpr int longest_status_characters = 133;
// Room the tree keeps at the smallest window: a few lines.
constexpr int minimum_tree_lines = 3;
// Room right of Go, and below the sort column, at the smallest window.
constexpr int go_margin = 8;
constexpr int sort_column_margin = 4;

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Shelvo"));
  // "MS Sans Serif" 8 pt stands in as a metric-compatible sans at 10 pixels.
  QFont design_font(QStringLiteral("Liberation Sans"));
  design_font.setPixelSize(10);
  setFont(design_font);

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  // The client area fills the window, down to the size below which a control
  // would be cut; only a screen smaller than that (a large scale factor on a
  // small screen) makes it scroll, so that nothing is out of reach. The
  // scroller itself takes no focus: it is no control a person sees.
  auto* scroller = new QScrollArea(this);
  scroller->setObjectName(QStringLiteral("client_scroller"));
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setFocusPolicy(Qt::NoFocus);
  scroller->setWidgetResizable(true);
  scroller->setWidget(client_);
  setCentralWidget(scroller);
  client_->installEventFilter(this);

  // In the design's order: where two controls overlap, the later lies on top.
  column_ = std::make_unique<ModeColumn>(client_);
  Ed_pathbase = place(new QLineEdit(QStringLiteral("C:\\voldepot\\"), client_), "Ed_pathbase", 32, 128, 81, 21);
  Ed_pathbase->hide();
  add_ = std::make_unique<AddPanel>(client_);
  volume_masks_ = std::make_unique<VolumeMaskBox>(client_);
  search_ = std::make_unique<SearchPanel>(client_, *column_, *volume_masks_);
  list_ = std::make_unique<ListPanel>(client_, *column_, *volume_masks_);
  results_ = std::make_unique<ResultArea>(client_);
  runs_ = std::make_unique<RunController>(client_, *add_, *search_, *list_, *results_);
  create_menu();
  set_tab_order();
  placement_ = std::make_unique<WindowPlacement>(
      *this, *client_, [this] { return minimum_client_size(); }, [this] { return default_client_size(); },
      [this] { return menuBar()->sizeHint().height(); });
  connect_parts();

  resize(design_client_width, design_client_height + menuBar()->sizeHint().height());
  client_->resize(design_client_width, design_client_height);
  FormResize(); // a hidden window gets its first resize event only when shown
  choose_file_ = [this](const QString& title, const QString& directory, const QString& name) {
    return choose_with_dialog(title, directory, name);
  };
  open_dialog_title_ = QStringLiteral("Locating new database");
  open_dialog_name_ = QStringLiteral("(filename will be ignored)");
  FormCreate();
  // Typing right after the start goes where a search begins.
  search_->first_field()->setFocus(Qt::OtherFocusReason);
}

TForm1::~TForm1() = default;

void TForm1::create_menu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  auto named = [](QAction* action, const char* name) {
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  Database1 = bar->addMenu(QStringLiteral("&Database"));
  Database1->setObjectName(QStringLiteral("Database1"));
  ChooseNew = named(Database1->addAction(QStringLiteral("Choose &New...")), "ChooseNew");
  named(Database1->addSeparator(), "N3");
  ImportDatabaseincurrentone1 = named(Database1->addAction(QStringLiteral("&Import extern database in current one...")),
                                      "ImportDatabaseincurrentone1");
  Exportdatalinktovolumeinthetree1 =
      named(Database1->addAction(QStringLiteral("&Export volumes found...")), "Exportdatalinktovolumeinthetree1");
  named(Database1->addSeparator(), "N1");
  Exit1 = named(Database1->addAction(QStringLiteral("&Quit")), "Exit1");
  named(Database1->addSeparator(), "N2");
  recent_catalogs_ = std::make_unique<RecentCatalogsMenu>(*Database1);

  Preferences1 = bar->addMenu(QStringLiteral("&Preferences"));
  Preferences1->setObjectName(QStringLiteral("Preferences1"));
  AdvancedMode1 = named(Preferences1->addAction(QStringLiteral("Advanced Mode")), "AdvancedMode1");
  AdvancedMode1->setCheckable(true);
  About1 = named(bar->addAction(QStringLiteral("About...")), "About1");
}

void TForm1::set_tab_order() {
  static constexpr const char* order[] = {
      "Ed_search1",      "Ed_search2",       "Ed_search3",     "Ed_search4",       "Ed_search5",
      "Ed_search6",      "Che_directory",    "Che_archive",    "Che_containsdir",  "Che_onlydirectory",
      "Che_addstar",     "Com_search1",      "Button1",        "Button3",          "Button2",
      "BitBtnGo",        "Ed_pathbase",      "TreeView1",      "Ed_option",        "DriveComboBox1",
      "Che_overwriteolddisk", "Ed_volumemask1", "Ed_volumemask2", "Ed_volumemask3", "Ed_volumemask4",
      "Bou_sortbyname",  "Bou_expandall",    "Bou_collapseall", "ProgressBar1",    "Bou_stop",
      "Panel1",          "TrackBarFonction", "Pan_sousbouton", "Che_autoexpand",   "Bou_sortbysize",
      "Che_reversesort", "Che_onlytotal"};
  QWidget* previous = nullptr;
  for (const char* name : order) {
    QWidget* w = client_->findChild<QWidget*>(QString::fromLatin1(name));
    if (previous && w) setTabOrder(previous, w);
    if (w) previous = w;
  }
}

void TForm1::connect_parts() {
  column_->on_mode_clicked = [this](Mode mode) {
    switch (mode) {
    case Mode::add: Button1Click(); break;
    case Mode::search: Button3Click(true); break;
    case Mode::list: Button2Click(); break;
    }
  };
  column_->on_only_total_label_clicked = [this] { Lab_onlytotalClick(); };
  connect(column_->only_total(), &QCheckBox::toggled, this, [this] { ApplyOnlyTotal(); });
  connect(AdvancedMode1, &QAction::triggered, this, [this] { AdvancedMode1Click(); });
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
  for (std::size_t k = 0; k < 6; ++k) search_->mask(k)->installEventFilter(this);
  for (std::size_t k = 0; k < 4; ++k) volume_masks_->edit(k)->installEventFilter(this);
  add_->first_field()->installEventFilter(this); // Enter on the chosen drive adds it
  // The user's pick only: the list also changes when a search is remembered,
  // which must not load an older search over the controls.
  connect(search_->recall_list(), &QComboBox::activated, this, [this](int item) { Com_search1Change(item); });
  QPushButton* sort_by_name = client_->findChild<QPushButton*>(QStringLiteral("Bou_sortbyname"));
  QPushButton* sort_by_size = client_->findChild<QPushButton*>(QStringLiteral("Bou_sortbysize"));
  connect(sort_by_name, &QPushButton::clicked, this, [this] { Bou_sortbynameClick(); });
  connect(sort_by_size, &QPushButton::clicked, this, [this] { Bou_sortbysizeClick(); });
  results_->on_mouse_down = [this](Qt::MouseButton button, QPoint at) { TreeView1MouseDown(button, at); };
  results_->allowed = [this](NodeId node) { return tree_actions_allowed(node); };
  results_->on_open = [this](NodeId node, bool folder) { open_found(node, folder); };
  results_->on_delete = [this](NodeId node) { delete_listed_volume(node); };
  connect(ImportDatabaseincurrentone1, &QAction::triggered, this, [this] { ImportDatabaseincurrentone1Click(); });
  connect(Exportdatalinktovolumeinthetree1, &QAction::triggered, this,
          [this] { Exportdatalinktovolumeinthetree1Click(); });
  recent_catalogs_->on_open = [this](int item) { OpenRecentCatalog(item); };
  connect(ChooseNew, &QAction::triggered, this, [this] { ChooseNewClick(); });
  connect(Ed_pathbase, &QLineEdit::textChanged, this, [this] { Ed_pathbaseChange(); });

  runs_->catalog_path = [this] { return catalog_path(); };
  runs_->advanced_mode = [this] { return advanced_mode(); };
  runs_->on_busy_changed = [this](bool busy) {
    column_->set_buttons_enabled(!busy);
    Database1->setEnabled(!busy);
    Preferences1->setEnabled(!busy);
  };
  runs_->on_close_after_run = [this] { close(); };
  // An opener that was started but failed is told, as one that could not start is.
  runs_->desktop_launcher().on_failure = [this](const std::string& path, int status) {
    runs_->dialogs().show_message("The desktop's opener (xdg-open) could not open " + path + ": it ended with status " +
                                      std::to_string(status) +
                                      " (no program for this kind of file, or none it could start).",
                                  "Shelvo", DialogButtons::ok, DialogIcon::warning);
  };
  // The keys a desktop user expects: Escape stops a run, Ctrl+Q quits (also
  // while a run has the menu disabled: the close then waits for the run).
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] { Bou_stopClick(); });
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  addAction(Exit1);
}

// --- The parts, as the window's operations ------------------------------------------

const RecentSearchTable& TForm1::recent_searches() const { return search_->recent_searches(); }
const std::array<QString, 4>& TForm1::recent_catalogs() const { return recent_catalogs_->catalogs(); }
bool TForm1::geometry_pending() const { return placement_->pending(); }
bool TForm1::run_in_progress() const { return runs_->in_progress(); }
std::uint8_t TForm1::volumes_listed_flag() const { return runs_->volumes_listed_flag(); }
std::uint8_t TForm1::search_results_flag() const { return runs_->search_results_flag(); }
ResultTree& TForm1::result_tree() { return results_->tree(); }
ResultTreeModel& TForm1::result_model() { return results_->model(); }
void TForm1::set_services(DialogService* dialogs, Launcher* launcher) { runs_->set_services(dialogs, launcher); }
void TForm1::BitBtnGoClick() { runs_->BitBtnGoClick(); }
void TForm1::Bou_stopClick() { runs_->Bou_stopClick(); }
void TForm1::Bou_expandallClick() { results_->Bou_expandallClick(); }
void TForm1::Bou_collapseallClick() { results_->Bou_collapseallClick(); }
void TForm1::Bou_sortbynameClick() { results_->Bou_sortbynameClick(runs_->dialogs()); }
void TForm1::Bou_sortbysizeClick() { results_->Bou_sortbysizeClick(runs_->dialogs()); }
void TForm1::Com_search1Change(int item) { search_->Com_search1Change(item, advanced_mode()); }
void TForm1::FormResize() { results_->layout(client_->size()); }

QSize TForm1::minimum_client_size() const {
  const QLabel* status = results_->status();
  const int status_end =
      status->x() + QFontMetrics(status->font()).horizontalAdvance(QString(longest_status_characters, u'0'));
  const int go_end = runs_->go_button()->geometry().right() + 1 + go_margin;
  const QTreeView* tree = results_->view();
  const int row = QFontMetrics(tree->font()).height() + 4;
  const int tree_height = 2 * tree->frameWidth() + minimum_tree_lines * row;
  // The sort column keeps its tops whatever the size: the lowest of it, whole.
  const QWidget* autoexpand = results_->autoexpand_box();
  const int sort_column_end = autoexpand->geometry().bottom() + 1 + sort_column_margin;
  // The tree is the client height less 162 (FormResize), the status line below it.
  return {std::max(status_end, go_end), std::max(tree_height + 162, sort_column_end)};
}

QSize TForm1::default_client_size() const {
  // The tree is the client width less 88; its frame and a vertical scroll bar
  // take from what its lines get.
  const QTreeView* tree = results_->view();
  const int tree_needs =
      results_->padded_line_width() + 2 * tree->frameWidth() + tree->verticalScrollBar()->sizeHint().width();
  return {std::max(design_client_width, tree_needs + 88), design_client_height};
}

// --- Modes ---------------------------------------------------------------------------

Mode TForm1::mode_on_screen() const {
  if (add_->shown()) return Mode::add;
  if (list_->shown() && !search_->shown()) return Mode::list;
  return Mode::search;
}

void TForm1::show_mode(Mode mode) {
  column_->show_mode(mode);
  if (mode == Mode::add) add_->show(catalog_path());
  else add_->hide();
  if (mode == Mode::search) search_->show();
  else search_->hide();
  if (mode == Mode::list) list_->show();
  else list_->hide();
  if (mode == Mode::search) results_->show_for_search(advanced_mode());
  else if (mode == Mode::list) results_->show_for_list();
  if (mode == Mode::add) volume_masks_->hide();
  else volume_masks_->show_at(list_->top() + (mode == Mode::search ? 76 : 20));
}

void TForm1::Button1Click() {
  show_mode(Mode::add);
  // Chosen with the mouse or the keyboard, the mode's first field takes the keys.
  if (!loading_) add_->first_field()->setFocus(Qt::OtherFocusReason);
}

void TForm1::Button3Click(bool by_user) {
  if (search_->shown() && by_user) BitBtnGoClick();
  show_mode(Mode::search);
  if (by_user) search_->first_field()->setFocus(Qt::TabFocusReason);
}

void TForm1::Button2Click() {
  if (list_->shown()) BitBtnGoClick();
  show_mode(Mode::list);
  QCoreApplication::processEvents();
  list_->first_field()->setFocus(Qt::TabFocusReason);
}

void TForm1::AdvancedMode1Click() {
  advanced_mode_ = advanced_mode_ == 1 ? 0 : 1;
  ApplyAdvancedMode();
}

void TForm1::ApplyAdvancedMode() {
  const bool on = advanced_mode();
  AdvancedMode1->setChecked(on);
  column_->apply_advanced(on);
  search_->apply_advanced(on);
  volume_masks_->apply_advanced(on);
  add_->apply_advanced(on);
  results_->apply_advanced(on, search_->shown());
}

void TForm1::Lab_onlytotalClick() {
  QCheckBox* only_total = column_->only_total();
  only_total->setChecked(!only_total->isChecked()); // runs ApplyOnlyTotal
  ApplyOnlyTotal();
}

void TForm1::ApplyOnlyTotal() {
  // During a run the tree belongs to the pass; the next run empties it anyway.
  results_->apply_only_total(column_->only_total()->isChecked(), !run_in_progress());
}

// --- Events --------------------------------------------------------------------------

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // The client area is watched from its creation on, before the other controls exist.
  if (watched == client_) {
    if (event->type() == QEvent::Resize && results_) FormResize();
    return QMainWindow::eventFilter(watched, event);
  }
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      GoOnEnter(key->key());
      return true;
    }
    // The recent searches drop down from the first mask, where a pick shows.
    const bool drop_down =
        key->key() == Qt::Key_F4 || (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier));
    if (drop_down && watched == search_->first_field()) {
      search_->open_recall_list();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::GoOnEnter(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) BitBtnGoClick();
}

bool TForm1::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  switch (event->type()) {
  case QEvent::Show:
  case QEvent::Move:
  case QEvent::Resize:
  case QEvent::WindowStateChange:
    if (placement_) placement_->window_changed();
    break;
  default: break;
  }
  return handled;
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Told once, when there is a window to tell it over.
  if (!startup_notice_.isEmpty()) {
    const QString notice = std::exchange(startup_notice_, QString());
    QTimer::singleShot(0, this, [this, notice] {
      runs_->dialogs().show_message(notice.toStdString(), "Shelvo", DialogButtons::ok, DialogIcon::warning);
    });
  }
}

void TForm1::About1Click() {
  auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("THE Credit"),
                              QStringLiteral("Shelvo v" SHELVO_VERSION "\n"
                                             "A cataloguer of volumes: disks, sticks, shares and their archives.\n\n"
                                             "Built on C++20 and Qt 6.\n"
                                             "Thanks to everyone who keeps old disks readable."),
                              QMessageBox::Ok, nullptr);
  box->setObjectName(QStringLiteral("AboutBox"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  // During a run the box must not hold the pass inside its own event loop.
  if (run_in_progress()) box->open();
  else box->exec();
}

void TForm1::Exit1Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (!runs_->close_now()) {
    event->ignore();
    return;
  }
  FormDestroy();
  QMainWindow::closeEvent(event);
}

} // namespace shelvo
