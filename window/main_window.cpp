#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QSlider>
#include <QTimer>
#include <QTreeView>

#include <utility>

#include "catalog/catalog_store.h"
#include "engine/argument_vector.h"
#include "platform/drive_table.h"
#include "platform/code_page.h"
#include "platform/file_access.h"

#include "maintenance/delete_volume.h"
#include "maintenance/export_volumes.h"
#include "maintenance/import_catalog.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/tree_actions.h"
#include "window/controls.h"
#include "window/result_tree_model.h"
#include "window/settings_store.h"

namespace shelvo {

namespace {

const QColor help_blue(0, 0, 255);
const QColor marker_blue(0, 0, 255);
const QColor marker_navy(0, 0, 128);
const QColor exclusion_red(255, 0, 0);
const QColor only_grey(128, 128, 128);
const QColor only_total_silver(192, 192, 192);

// The automatic expansion after a search stops at these counts.
constexpr std::int32_t autoexpand_file_limit = 1500;
constexpr std::int32_t autoexpand_dir_limit = 250;

// The indent of the tree per level, in pixels.
constexpr int tree_indent = 19;
// The deepest level at which a file line's name is still padded.
constexpr unsigned deepest_padded_level = 26;

template <class Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

void set_text_colour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget->setPalette(palette);
}

void set_background(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::Base, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

QLabel* help_label(QWidget* parent, const char* name, const char* text, int left, int top, int width, int height,
                   bool wrap = false) {
  auto* label = place(new QLabel(QString::fromUtf8(text), parent), name, left, top, width, height);
  set_text_colour(label, help_blue);
  // Opaque, so that the label brought to the front hides those that share its place.
  label->setAutoFillBackground(true);
  label->setWordWrap(wrap);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

// The stand-in for "Terminal", the fixed-pitch font of the tree and the status.
// At 10 pixels a character is 6 wide, so the name field, three characters
// narrower a level, ends about where the 19-pixel indent moves it: every padded
// line ends within a few pixels of the same place.
QFont terminal_font(int pixel_size) {
  QFont font(QStringLiteral("Liberation Mono"));
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(pixel_size);
  return font;
}

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

std::string text_of(const QLineEdit* edit) { return edit->text().toStdString(); }

// The width the tree's one column needs so that every padded file line shows
// whole, at whatever depth: its indent, its text margins and its text.
int widest_padded_line(const QTreeView* tree) {
  const QFontMetrics metrics(tree->font());
  const int margins = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
  int widest = 0;
  for (unsigned level = 0; level <= deepest_padded_level; ++level) {
    const QString line = QString::fromStdString(format_file_line("", level, 0, 0, 0, 0, 0, 0));
    widest = std::max(widest, static_cast<int>(level + 2) * tree_indent + margins + metrics.horizontalAdvance(line));
  }
  return widest;
}

// The catalog travels as the element "/l:PATH" of at most 63 characters.
constexpr std::size_t max_catalog_path = element_limit - 3;

const QString default_catalog = QStringLiteral("c:\\voldepot\\");
const QString window_title_prefix = QStringLiteral("Shelvo - current database: ");

// The menu shows '&' as an accelerator mark; a catalog path shows it as it is.
QString menu_text(const QString& text) {
  QString out = text;
  return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// OpenDialog1: a file in the directory of the catalog; the name is ignored and
// need not exist.
std::optional<QString> choose_with_dialog(QWidget* parent, const QString& title, const QString& directory,
                                          const QString& name) {
  QFileDialog dialog(parent, title, directory, QStringLiteral("*.*"));
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

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
  // The client area fills the window, down to the size below which Go or the
  // status line would be cut; only a screen smaller than that (a large scale
  // factor on a small screen) makes it scroll, so that nothing is out of reach.
  auto* scroller = new QScrollArea(this);
  scroller->setObjectName(QStringLiteral("client_scroller"));
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidgetResizable(true);
  scroller->setWidget(client_);
  setCentralWidget(scroller);
  client_->installEventFilter(this);

  create_controls();
  create_menu();
  set_tab_order();

  model_ = new ResultTreeModel(tree_, this);
  TreeView1->setModel(model_);
  status_view_ = std::make_unique<WindowStatusView>(Lab_status, ProgressBar1);
  set_status_view(status_view_.get());
  connect_handlers();

  resize(design_client_width, design_client_height + menuBar()->sizeHint().height());
  client_->resize(design_client_width, design_client_height);
  FormResize(); // a hidden window gets its first resize event only when shown
  choose_file_ = [this](const QString& title, const QString& directory, const QString& name) {
    return choose_with_dialog(this, title, directory, name);
  };
  open_dialog_title_ = QStringLiteral("Locating new database");
  open_dialog_name_ = QStringLiteral("(filename will be ignored)");
  FormCreate();
}

TForm1::~TForm1() {
  if (status_view() == status_view_.get()) set_status_view(nullptr);
  TreeView1->setModel(nullptr);
  // The model watches tree_, a member: it must go before the members do, not
  // with the window's children afterwards.
  delete model_;
  model_ = nullptr;
}

void TForm1::create_controls() {
  QWidget* form = client_;

  // Left column. Where controls overlap, the later one lies on top.
  TrackBarFonction = place(new QSlider(Qt::Vertical, form), "TrackBarFonction", 0, 10, 17, 81);
  TrackBarFonction->setRange(1, 3);
  TrackBarFonction->setInvertedAppearance(true); // 1, the top button, at the top
  TrackBarFonction->setValue(2);
  TrackBarFonction->setTickPosition(QSlider::NoTicks);
  TrackBarFonction->setEnabled(false);
  Pan_sousbouton = place(new QFrame(form), "Pan_sousbouton", 12, 32, 120, 33);
  Pan_sousbouton->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  set_background(Pan_sousbouton, marker_blue);
  Button1 = place(new QPushButton(QStringLiteral("&Add Drive to the Base"), form), "Button1", 16, 8, 113, 25);
  Button3 = place(new QPushButton(QStringLiteral("&Search"), form), "Button3", 16, 36, 113, 25);
  Button2 = place(new QPushButton(QStringLiteral("&List Volumes in Base"), form), "Button2", 16, 64, 113, 25);
  Lab_help8 = help_label(form, "Lab_help8", "Right Click on a directory to access it.", 16, 102, 113, 39, true);
  Lab_help9 = help_label(form, "Lab_help9", "Right Click on a volume to delete it.", 16, 102, 113, 39, true);
  Lab_help10 = help_label(form, "Lab_help10", "  ", 16, 102, 113, 39, true);
  Lab_option = place(new QLabel(QStringLiteral("Adv. option:"), form), "Lab_option", 8, 108, 57, 13);
  Lab_option->hide();
  Ed_option = place(new QLineEdit(form), "Ed_option", 72, 104, 57, 21);
  Ed_option->hide();
  Lab_onlytotal = place(new ClickableLabel(QStringLiteral("Print only number of files and dir found"), form),
                        "Lab_onlytotal", 36, 105, 105, 25);
  Lab_onlytotal->setWordWrap(true);
  Lab_onlytotal->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Che_onlytotal = place(new QCheckBox(form), "Che_onlytotal", 16, 108, 21, 17);
  Lab_onlytotal->setBuddy(Che_onlytotal);
  Ed_pathbase = place(new QLineEdit(QStringLiteral("C:\\voldepot\\"), form), "Ed_pathbase", 32, 128, 81, 21);
  Ed_pathbase->hide();

  // The group boxes of the modes.
  GroupBoxNewDisk = place(new DesignGroupBox(QStringLiteral("Add Drive "), form), "GroupBoxNewDisk", 144, 0, 425, 65);
  GroupBoxRecherche = place(new DesignGroupBox(QStringLiteral(" Search "), form), "GroupBoxRecherche", 144, 0, 537, 137);
  GroupBoxVolume = place(new DesignGroupBox(QStringLiteral(" Volume "), form), "GroupBoxVolume", 144, 0, 361, 81);
  GroupBoxVolumeMask =
      place(new DesignGroupBox(QStringLiteral(" VolumeMask "), form), "GroupBoxVolumeMask", 156, 100, 329, 49);

  QWidget* add = GroupBoxNewDisk;
  Lab_help6 = help_label(add, "Lab_help6", "Chose a Drive to  Add to the Base", 184, 19, 185, 17);
  Lab_help7 = help_label(add, "Lab_help7", "Then press Go! ---------------------------->", 184, 35, 195, 17);
  DriveComboBox1 = place(new DriveComboBox(add), "DriveComboBox1", 16, 24, 161, 19);
  Che_overwriteolddisk = place(new QCheckBox(QStringLiteral("Don't overwrite disk if already in the base"), add),
                               "Che_overwriteolddisk", 192, 26, 225, 17);

  QWidget* search = GroupBoxRecherche;
  Lab_help1 = help_label(search, "Lab_help1", "Enter filemask to look for ('?': any one letter; '*': many letters)",
                         166, 8, 323, 17);
  Lab_help2 = help_label(search, "Lab_help2", "eg: 'docu*' will display all file beginning by 'docu'...", 166, 24,
                         323, 17);
  Lab_help3 = help_label(search, "Lab_help3", "Then press Go! ---------------------------->", 166, 40, 323, 17);
  // A drop-down list that takes no typed text: its text part lies under
  // Ed_search1, where nothing typed would be seen.
  Com_search1 = place(new QComboBox(search), "Com_search1", 16, 24, 145, 21);
  Com_search1->setMaxVisibleItems(32);
  Che_directory = place(new QCheckBox(QStringLiteral("Search directory name"), search), "Che_directory", 348, 94,
                        142, 17);
  Che_directory->setChecked(true);
  Che_archive = place(new QCheckBox(QStringLiteral("Search in archives"), search), "Che_archive", 348, 78, 113, 17);
  Che_archive->setChecked(true);
  const QString hint = QStringLiteral("'?': any one letter; '*': many letter; '\\string': whithout 'string'");
  // In the design's order, so that Ed_search1 lies over the text part of Com_search1.
  Ed_search[0] = place(new QLineEdit(QStringLiteral("*.*"), search), "Ed_search1", 16, 24, 127, 21);
  Ed_search[3] = place(new QLineEdit(search), "Ed_search4", 16, 48, 145, 21);
  Ed_search[5] = place(new QLineEdit(search), "Ed_search6", 320, 48, 145, 21);
  Ed_search[1] = place(new QLineEdit(search), "Ed_search2", 168, 24, 145, 21);
  Ed_search[1]->setToolTip(hint);
  Ed_search[4] = place(new QLineEdit(search), "Ed_search5", 168, 48, 145, 21);
  Ed_search[2] = place(new QLineEdit(search), "Ed_search3", 320, 24, 145, 21);
  Ed_search[2]->setToolTip(hint);
  Che_containsdir = place(new QCheckBox(QStringLiteral("...and list content"), search), "Che_containsdir", 348, 110,
                          165, 17);
  Che_containsdir->setChecked(true);
  Che_onlydirectory = place(new QCheckBox(QStringLiteral("only"), search), "Che_onlydirectory", 474, 94, 41, 16);
  Che_onlydirectory->setLayoutDirection(Qt::RightToLeft); // the caption left of the box
  set_text_colour(Che_onlydirectory, only_grey);
  Che_addstar = place(new QCheckBox(QStringLiteral("Add Stars"), search), "Che_addstar", 468, 26, 65, 17);

  QWidget* masks = GroupBoxVolumeMask;
  Lab_help4 = help_label(masks, "Lab_help4", "Enter mask to restrain search to certain volumes", 88, 10, 233, 17);
  Lab_help5 = help_label(masks, "Lab_help5", "(Warning: CaSe SeNsItIvE)", 88, 26, 225, 17);
  Ed_volumemask[0] = place(new QLineEdit(QStringLiteral("*"), masks), "Ed_volumemask1", 8, 16, 73, 21);
  Ed_volumemask[1] = place(new QLineEdit(masks), "Ed_volumemask2", 88, 16, 73, 21);
  Ed_volumemask[2] = place(new QLineEdit(masks), "Ed_volumemask3", 168, 16, 73, 21);
  Ed_volumemask[3] = place(new QLineEdit(masks), "Ed_volumemask4", 248, 16, 73, 21);

  // The Go area and the result area.
  BitBtnGo = place(new QPushButton(form), "BitBtnGo", 688, 6, 49, 49);
  BitBtnGo->setIcon(go_picture());
  BitBtnGo->setIconSize(QSize(36, 36));
  BitBtnGo->setAccessibleName(QStringLiteral("Go"));
  Bou_stop = place(new QPushButton(QStringLiteral("Stop!"), form), "Bou_stop", 688, 58, 49, 17);
  Panel1 = place(new QLabel(QStringLiteral("Please wait..."), form), "Panel1", 8, 144, 433, 161);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setAlignment(Qt::AlignCenter);
  Panel1->setEnabled(false);
  set_background(Panel1, palette().color(QPalette::Base));
  ProgressBar1 = place(new QProgressBar(form), "ProgressBar1", 16, 304, 409, 17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  TreeView1 = place(new QTreeView(form), "TreeView1", 8, 144, 593, 161);
  TreeView1->setFont(terminal_font(10));
  TreeView1->setIndentation(tree_indent);
  TreeView1->setHeaderHidden(true);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setUniformRowHeights(true);
  TreeView1->setTextElideMode(Qt::ElideNone); // the default elision eats the date column
  TreeView1->header()->setStretchLastSection(false);
  TreeView1->header()->setSectionResizeMode(QHeaderView::Fixed);
  TreeView1->header()->setDefaultSectionSize(widest_padded_line(TreeView1));
  TreeView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  TreeView1->setContextMenuPolicy(Qt::PreventContextMenu);
  Lab_status = place(new QLabel(QStringLiteral("(none)"), form), "Lab_status", 72, 328, 1000, 17);
  // At 9 pixels the longest line, a stopped search's, fits beside "Found:" in
  // the design's width.
  Lab_status->setFont(terminal_font(9));
  Lab_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Lab_found = place(new QLabel(QStringLiteral("Found:"), form), "Lab_found", 24, 344, 41, 13);
  Bou_sortbyname = place(new QPushButton(QStringLiteral("Sort by Name"), form), "Bou_sortbyname", 608, 146, 73, 17);
  Bou_sortbysize = place(new QPushButton(QStringLiteral("Sort by Size"), form), "Bou_sortbysize", 608, 163, 73, 17);
  Che_reversesort = place(new QCheckBox(QStringLiteral("reverse sort"), form), "Che_reversesort", 608, 180, 73, 17);
  Bou_expandall = place(new QPushButton(QStringLiteral("Expand All"), form), "Bou_expandall", 608, 216, 73, 17);
  Bou_collapseall = place(new QPushButton(QStringLiteral("Reduce All"), form), "Bou_collapseall", 608, 233, 73, 17);
  Che_autoexpand = place(new QCheckBox(QStringLiteral("autoexpand"), form), "Che_autoexpand", 608, 250, 79, 17);
}

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
  for (std::size_t k = 0; k < D_.size(); ++k) {
    const std::string name = "D_" + std::to_string(k + 1);
    D_[k] = named(Database1->addAction(QString()), name.c_str());
  }

  Preferences1 = bar->addMenu(QStringLiteral("&Preferences"));
  Preferences1->setObjectName(QStringLiteral("Preferences1"));
  AdvancedMode1 = named(Preferences1->addAction(QStringLiteral("Advanced Mode")), "AdvancedMode1");
  AdvancedMode1->setCheckable(true);
  About1 = named(bar->addAction(QStringLiteral("About...")), "About1");
}

void TForm1::set_tab_order() {
  const std::vector<QWidget*> order = {
      Ed_search[0],     Ed_search[1],      Ed_search[2],     Ed_search[3],     Ed_search[4],
      Ed_search[5],     Che_directory,     Che_archive,      Che_containsdir,  Che_onlydirectory,
      Che_addstar,      Com_search1,       Button1,          Button3,          Button2,
      BitBtnGo,         Ed_pathbase,       TreeView1,        Ed_option,        DriveComboBox1,
      Che_overwriteolddisk, Ed_volumemask[0], Ed_volumemask[1], Ed_volumemask[2], Ed_volumemask[3],
      Bou_sortbyname,   Bou_expandall,     Bou_collapseall,  ProgressBar1,     Bou_stop,
      Panel1,           TrackBarFonction,  Pan_sousbouton,   Che_autoexpand,   Bou_sortbysize,
      Che_reversesort,  Che_onlytotal};
  for (std::size_t k = 1; k < order.size(); ++k) setTabOrder(order[k - 1], order[k]);
}

void TForm1::connect_handlers() {
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(true); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(AdvancedMode1, &QAction::triggered, this, [this] { AdvancedMode1Click(); });
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
  // The rules run whenever a state or a text changes, also when the program
  // sets it (a recalled search, the settings), as they do on the desktop the
  // window was designed for: toggled and textChanged, not clicked and textEdited.
  connect(Che_containsdir, &QCheckBox::toggled, this, [this] { Che_containsdirClick(); });
  connect(Che_onlydirectory, &QCheckBox::toggled, this, [this] { Che_onlydirectoryClick(); });
  connect(Che_onlytotal, &QCheckBox::toggled, this, [this] { Che_onlytotalClick(); });
  Lab_onlytotal->on_click = [this] { Lab_onlytotalClick(); };
  for (QLineEdit* edit : Ed_search)
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { MarkExclusionMask(edit); });
  for (QLineEdit* edit : Ed_volumemask)
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { MarkExclusionMask(edit); });
  for (QLineEdit* edit : Ed_search) edit->installEventFilter(this);
  for (QLineEdit* edit : Ed_volumemask) edit->installEventFilter(this);
  connect(BitBtnGo, &QPushButton::clicked, this, [this] { BitBtnGoClick(); });
  connect(Bou_stop, &QPushButton::clicked, this, [this] { Bou_stopClick(); });
  connect(Bou_expandall, &QPushButton::clicked, this, [this] { Bou_expandallClick(); });
  connect(Bou_collapseall, &QPushButton::clicked, this, [this] { Bou_collapseallClick(); });
  connect(Bou_sortbyname, &QPushButton::clicked, this, [this] { Bou_sortbynameClick(); });
  connect(Bou_sortbysize, &QPushButton::clicked, this, [this] { Bou_sortbysizeClick(); });
  TreeView1->viewport()->installEventFilter(this);
  connect(ImportDatabaseincurrentone1, &QAction::triggered, this, [this] { ImportDatabaseincurrentone1Click(); });
  connect(Exportdatalinktovolumeinthetree1, &QAction::triggered, this,
          [this] { Exportdatalinktovolumeinthetree1Click(); });
  // The user's pick only: the list also changes when a search is remembered,
  // which must not load an older search over the controls.
  connect(Com_search1, &QComboBox::activated, this, [this](int item) { Com_search1Change(item); });
  for (std::size_t k = 0; k < D_.size(); ++k)
    connect(D_[k], &QAction::triggered, this, [this, k] { OpenRecentCatalog(static_cast<int>(k)); });
  connect(ChooseNew, &QAction::triggered, this, [this] { ChooseNewClick(); });
  connect(Ed_pathbase, &QLineEdit::textChanged, this, [this] { Ed_pathbaseChange(); });
  // The keys a desktop user expects: Escape stops a run, Ctrl+Q quits (also
  // while a run has the menu disabled: the close then waits for the run).
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] { Bou_stopClick(); });
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  addAction(Exit1);
  // A tree built anew starts at its left edge, where the names are.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { TreeView1->horizontalScrollBar()->setValue(0); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // The client area is watched from its creation on, before the other controls exist.
  if (watched == client_) {
    if (event->type() == QEvent::Resize) FormResize();
    return QMainWindow::eventFilter(watched, event);
  }
  if (watched == TreeView1->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* press = static_cast<QMouseEvent*>(event);
      TreeView1MouseDown(press->button(), press->position().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
  }
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      GoOnEnter(key);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::GoOnEnter(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) BitBtnGoClick();
}

// --- Function modes -------------------------------------------------------------

void TForm1::switch_mode(int mode) {
  QLabel* help = mode == 1 ? Lab_help10 : mode == 2 ? Lab_help8 : Lab_help9;
  QPushButton* button = mode == 1 ? Button1 : mode == 2 ? Button3 : Button2;
  help->raise();
  GroupBoxNewDisk->setHidden(mode != 1);
  GroupBoxRecherche->setHidden(mode != 2);
  GroupBoxVolume->setHidden(mode != 3);
  if (mode == 2) {
    Bou_expandall->show();
    Bou_collapseall->show();
    if (advanced_mode()) Che_autoexpand->show();
  } else if (mode == 3) {
    Bou_expandall->hide();
    Bou_collapseall->hide();
    Che_autoexpand->hide();
  }
  if (mode == 1) {
    GroupBoxVolumeMask->hide();
  } else {
    GroupBoxVolumeMask->move(GroupBoxVolumeMask->x(), GroupBoxVolume->y() + (mode == 2 ? 76 : 20));
    GroupBoxVolumeMask->show();
    GroupBoxVolumeMask->raise();
  }
  TrackBarFonction->setValue(mode);
  Pan_sousbouton->move(Pan_sousbouton->x(), button->y() - 4);
}

void TForm1::Button1Click() {
  switch_mode(1);
  // The drive that holds the catalog cannot be added to it.
  const QString catalog = Ed_pathbase->text();
  const bool lettered = catalog.size() >= 2 && catalog[1] == u':' && catalog[0].isLetter();
  DriveComboBox1->avoid_letter(lettered ? static_cast<char>(catalog[0].toUpper().toLatin1()) : 'C');
}

void TForm1::Button3Click(bool by_user) {
  if (!GroupBoxRecherche->isHidden() && by_user) BitBtnGoClick();
  switch_mode(2);
  if (by_user) Ed_search[0]->setFocus();
}

void TForm1::Button2Click() {
  if (!GroupBoxVolume->isHidden()) BitBtnGoClick();
  switch_mode(3);
  QCoreApplication::processEvents();
  Ed_volumemask[0]->setFocus();
}

void TForm1::AdvancedMode1Click() {
  advanced_mode_ = advanced_mode_ == 1 ? 0 : 1;
  ApplyAdvancedMode();
}

void TForm1::ApplyAdvancedMode() {
  const bool on = advanced_mode();
  AdvancedMode1->setChecked(on);
  Che_onlytotal->setVisible(on);
  Lab_onlytotal->setVisible(on);
  for (std::size_t k = 1; k < Ed_search.size(); ++k) Ed_search[k]->setVisible(on);
  for (std::size_t k = 1; k < Ed_volumemask.size(); ++k) Ed_volumemask[k]->setVisible(on);
  Che_overwriteolddisk->setVisible(on);
  Che_addstar->setVisible(on);
  if (!on) Che_autoexpand->hide();
  else if (!GroupBoxRecherche->isHidden()) Che_autoexpand->show();
  Che_reversesort->setVisible(on);
  Che_onlydirectory->setVisible(on);
  if (!on) {
    Lab_option->hide();
    Ed_option->hide();
  }
  for (QLabel* help : {Lab_help1, Lab_help2, Lab_help3, Lab_help4, Lab_help5, Lab_help6, Lab_help7, Lab_help8,
                       Lab_help9, Lab_help10})
    help->setVisible(!on);
  set_background(Pan_sousbouton, on ? marker_navy : marker_blue);
  TrackBarFonction->setVisible(!on);
}

// --- Option rules -----------------------------------------------------------------

void TForm1::Che_containsdirClick() {
  if (Che_containsdir->isChecked()) Che_directory->setChecked(true);
}

void TForm1::Che_onlydirectoryClick() {
  if (Che_onlydirectory->isChecked()) {
    set_text_colour(Che_onlydirectory, Qt::black);
    Che_directory->setChecked(true);
  } else {
    set_text_colour(Che_onlydirectory, only_grey);
  }
}

void TForm1::Che_onlytotalClick() { ApplyOnlyTotal(); }

void TForm1::Lab_onlytotalClick() {
  Che_onlytotal->setChecked(!Che_onlytotal->isChecked()); // runs Che_onlytotalClick
  ApplyOnlyTotal();
}

void TForm1::ApplyOnlyTotal() {
  const QColor background = Che_onlytotal->isChecked() ? only_total_silver : QApplication::palette().color(QPalette::Base);
  QPalette palette = TreeView1->palette();
  palette.setColor(QPalette::Base, background);
  TreeView1->setPalette(palette);
  // During a run the tree belongs to the pass; the next run empties it anyway.
  if (!run_in_progress()) {
    TreeView1->hide();
    tree_.clear_result_tree();
    TreeView1->show();
  }
  set_background(Panel1, background);
}

void TForm1::MarkExclusionMask(QLineEdit* edit) {
  set_text_colour(edit, edit->text().startsWith(QLatin1Char('\\')) ? exclusion_red : QColor(Qt::black));
}

void TForm1::FormResize() {
  const int client_width = client_->width();
  const int client_height = client_->height();
  TreeView1->resize(client_width - 88, client_height - 162);
  const int sort_left = TreeView1->width() + 13;
  for (QWidget* w : std::initializer_list<QWidget*>{Bou_sortbyname, Bou_sortbysize, Che_reversesort, Bou_expandall,
                                                    Bou_collapseall, Che_autoexpand})
    w->move(sort_left, w->y());
  Panel1->resize(TreeView1->size());
  Lab_status->move(Lab_status->x(), TreeView1->y() + TreeView1->height() + 4);
  Lab_found->move(Lab_found->x(), Lab_status->y() - 1);
  ProgressBar1->setGeometry(ProgressBar1->x(), TreeView1->y() + TreeView1->height() / 2 + 10,
                            TreeView1->width() - 16, ProgressBar1->height());
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
  // A window closed during a run would leave the pass working on a destroyed
  // window: the run is stopped (an add then keeps the catalog as it was) and
  // the window closes when the pass has returned.
  if (run_in_progress()) {
    close_requested_ = true;
    stop_flag = 1;
    event->ignore();
    return;
  }
  FormDestroy();
  QMainWindow::closeEvent(event);
}

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
        return collator.compare(ResultTreeModel::to_screen(a), ResultTreeModel::to_screen(b)) < 0;
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

// --- Settings -------------------------------------------------------------------

void TForm1::FormCreate() {
  loading_ = true;
  SettingsStore store;
  const bool stored_advanced = store.ReadIntSetting(QStringLiteral("flag_advanced_users"), 0) == 1;
  const auto check = [&](QCheckBox* box, const char* name, int fallback) {
    box->setChecked(store.ReadIntSetting(QString::fromLatin1(name), fallback) != 0);
  };

  QString catalog = store.ReadStringSetting(QStringLiteral("path_voldepot"), default_catalog);
  QStringList refused;
  if (static_cast<std::size_t>(catalog.toUtf8().size()) > max_catalog_path) {
    refused.push_back(QStringLiteral("the catalog %1 (longer than %2 characters; %3 is used instead)")
                          .arg(catalog).arg(max_catalog_path).arg(default_catalog));
    catalog = default_catalog;
  }
  Ed_pathbase->setText(catalog);
  Ed_pathbaseChange(); // the title, also when the text was already the default
  for (std::size_t k = 0; k < D_.size(); ++k) {
    recent_catalogs_[k] = store.ReadStringSetting(QStringLiteral("D_%1").arg(k + 1), QString());
    D_[k]->setText(menu_text(recent_catalogs_[k]));
  }
  Ed_search[0]->setText(store.ReadStringSetting(QStringLiteral("RecentSearch1"), QStringLiteral("*.*")));
  if (stored_advanced)
    for (std::size_t k = 1; k < Ed_search.size(); ++k)
      Ed_search[k]->setText(store.ReadStringSetting(QStringLiteral("RecentSearch%1").arg(k + 1), QString()));
  check(Che_archive, "archive", 1);
  check(Che_directory, "directory", 1);
  check(Che_containsdir, "containsdir", 1);
  check(Che_onlydirectory, "onlydirectory", 0);
  if (Che_onlydirectory->isChecked()) Che_onlydirectoryClick();
  if (stored_advanced) check(Che_onlytotal, "onlytotal", 0);
  ApplyOnlyTotal();
  check(Che_autoexpand, "autoexpand", 1);
  check(Che_reversesort, "reversesort", 0);
  check(Che_overwriteolddisk, "overwriteolddisk", 0);
  check(Che_addstar, "addstar", 1);
  Ed_option->setText(store.ReadStringSetting(QStringLiteral("Ed_option"), QString()));
  Ed_volumemask[0]->setText(store.ReadStringSetting(QStringLiteral("Ed_volumemask1"), QStringLiteral("*")));
  if (stored_advanced)
    for (std::size_t k = 1; k < Ed_volumemask.size(); ++k)
      Ed_volumemask[k]->setText(store.ReadStringSetting(QStringLiteral("Ed_volumemask%1").arg(k + 1), QString()));
  known_volume_count = static_cast<std::int16_t>(store.ReadIntSetting(QStringLiteral("last_nb_volume_total"), 1));
  read_recent_searches(store, recent_searches_);
  Com_search1->clear();
  for (const RecentSearch& entry : recent_searches_) Com_search1->addItem(entry.masks[0]);
  advanced_mode_ = static_cast<std::uint8_t>(store.ReadIntSetting(QStringLiteral("flag_advanced_users"), 0) & 0xFF);
  ApplyAdvancedMode();

  restore_geometry(store);
  Button3Click(false);
  loading_ = false;

  // Said once, plainly: what could not be kept. The window runs on its defaults.
  for (const QString& problem : store.problems())
    refused.push_back(QStringLiteral("the setting %1, which was reset to its default").arg(problem));
  if (!store.writable())
    refused.push_back(QStringLiteral("the settings themselves: %1 cannot be written, so changes will not be kept")
                          .arg(store.file_name()));
  if (!refused.isEmpty()) startup_notice_ = QStringLiteral("Shelvo could not use:\n- ") + refused.join(QStringLiteral("\n- "));
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Told once, when there is a window to tell it over.
  if (!startup_notice_.isEmpty()) {
    const QString notice = std::exchange(startup_notice_, QString());
    QTimer::singleShot(0, this, [this, notice] {
      dialogs_->show_message(notice.toStdString(), "Shelvo", DialogButtons::ok, DialogIcon::warning);
    });
  }
}

void TForm1::FormDestroy() {
  SettingsStore store;
  const auto flag = [](const QCheckBox* box) { return box->isChecked() ? 1 : 0; };
  store.WriteStringSetting(QStringLiteral("path_voldepot"), Ed_pathbase->text());
  for (std::size_t k = 0; k < D_.size(); ++k)
    store.WriteStringSetting(QStringLiteral("D_%1").arg(k + 1), recent_catalogs_[k]);
  store.WriteStringSetting(QStringLiteral("RecentSearch1"), Ed_search[0]->text());
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_search.size(); ++k)
      store.WriteStringSetting(QStringLiteral("RecentSearch%1").arg(k + 1), Ed_search[k]->text());
  store.WriteIntSetting(QStringLiteral("archive"), flag(Che_archive));
  store.WriteIntSetting(QStringLiteral("directory"), flag(Che_directory));
  store.WriteIntSetting(QStringLiteral("containsdir"), flag(Che_containsdir));
  store.WriteIntSetting(QStringLiteral("onlydirectory"), flag(Che_onlydirectory));
  store.WriteIntSetting(QStringLiteral("onlytotal"), flag(Che_onlytotal));
  store.WriteIntSetting(QStringLiteral("autoexpand"), flag(Che_autoexpand));
  store.WriteIntSetting(QStringLiteral("reversesort"), flag(Che_reversesort));
  store.WriteIntSetting(QStringLiteral("overwriteolddisk"), flag(Che_overwriteolddisk));
  store.WriteIntSetting(QStringLiteral("addstar"), flag(Che_addstar));
  store.WriteStringSetting(QStringLiteral("Ed_option"), Ed_option->text());
  store.WriteStringSetting(QStringLiteral("Ed_volumemask1"), Ed_volumemask[0]->text());
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_volumemask.size(); ++k)
      store.WriteStringSetting(QStringLiteral("Ed_volumemask%1").arg(k + 1), Ed_volumemask[k]->text());
  store.WriteIntSetting(QStringLiteral("last_nb_volume_total"), known_volume_count);
  write_recent_searches(store, recent_searches_);
  store.WriteIntSetting(QStringLiteral("flag_advanced_users"), advanced_mode_);
  save_geometry(store);
  if (!store.save())
    dialogs_->show_message(("Your settings could not be kept: " + store.problems().join(QStringLiteral("; "))).toStdString(),
                           "Shelvo", DialogButtons::ok, DialogIcon::warning);
}

// --- Recent searches and catalogs -----------------------------------------------

void TForm1::PushRecentSearch() {
  RecentSearch entry;
  for (std::size_t k = 0; k < Ed_search.size(); ++k) entry.masks[k] = Ed_search[k]->text();
  for (std::size_t k = 0; k < Ed_volumemask.size(); ++k) entry.volume_masks[k] = Ed_volumemask[k]->text();
  entry.flags[flag_archive] = Che_archive->isChecked() ? 1 : 0;
  entry.flags[flag_directory] = Che_directory->isChecked() ? 1 : 0;
  entry.flags[flag_onlydirectory] = Che_onlydirectory->isChecked() ? 1 : 0;
  entry.flags[flag_containsdir] = Che_containsdir->isChecked() ? 1 : 0;
  entry.flags[flag_onlytotal] = Che_onlytotal->isChecked() ? 1 : 0;
  entry.flags[flag_addstar] = Che_addstar->isChecked() ? 1 : 0;
  push_recent_search(recent_searches_, entry);
  Com_search1->insertItem(0, entry.masks[0]);
  while (Com_search1->count() > recent_search_count) Com_search1->removeItem(Com_search1->count() - 1);
}

void TForm1::Com_search1Change(int item) {
  if (item < 0 || item >= recent_search_count) return;
  const RecentSearch entry = recent_searches_[static_cast<std::size_t>(item)];
  Ed_search[0]->setText(entry.masks[0]);
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_search.size(); ++k) Ed_search[k]->setText(entry.masks[k]);
  Ed_volumemask[0]->setText(entry.volume_masks[0]);
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_volumemask.size(); ++k) Ed_volumemask[k]->setText(entry.volume_masks[k]);
  Che_archive->setChecked(entry.flags[flag_archive] != 0);
  Che_directory->setChecked(entry.flags[flag_directory] != 0);
  Che_onlydirectory->setChecked(entry.flags[flag_onlydirectory] != 0);
  Che_containsdir->setChecked(entry.flags[flag_containsdir] != 0);
  Che_onlytotal->setChecked(entry.flags[flag_onlytotal] != 0);
  Che_addstar->setChecked(entry.flags[flag_addstar] != 0);
}

void TForm1::PushRecentCatalog(const QString& path) {
  if (std::find(recent_catalogs_.begin(), recent_catalogs_.end(), path) != recent_catalogs_.end()) return;
  std::move_backward(recent_catalogs_.begin(), recent_catalogs_.end() - 1, recent_catalogs_.end());
  recent_catalogs_[0] = path;
  for (std::size_t k = 0; k < D_.size(); ++k) D_[k]->setText(menu_text(recent_catalogs_[k]));
}

void TForm1::OpenRecentCatalog(int item) {
  if (item < 0 || item >= static_cast<int>(D_.size()) || run_in_progress()) return;
  const QString chosen = recent_catalogs_[static_cast<std::size_t>(item)];
  PushRecentCatalog(Ed_pathbase->text());
  if (!chosen.isEmpty()) Ed_pathbase->setText(chosen);
}

// --- The current catalog --------------------------------------------------------

void TForm1::Ed_pathbaseChange() {
  setWindowTitle(window_title_prefix + Ed_pathbase->text());
  if (loading_) return;
  // What the tree shows belongs to the catalog that was current: a right click
  // or an export must never act on the new catalog by the old one's numbers.
  tree_.clear_result_tree();
  volumes_listed_flag = 0;
  search_results_flag = 0;
  // So do the counts of its last run.
  Lab_status->setText(QStringLiteral("(none)"));
  ProgressBar1->setValue(0);
}

bool TForm1::set_catalog_directory(const std::string& host_directory) {
  std::string path;
  std::string why;
  if (!catalog_path_for_directory(host_directory, path, why)) {
    dialogs_->show_message("This directory cannot be a catalog: " + why + ".", "Shelvo", DialogButtons::ok,
                           DialogIcon::warning);
    return false;
  }
  if (path.size() > max_catalog_path) {
    dialogs_->show_message("The catalog path " + path + " is too long: a catalog path holds at most " +
                               std::to_string(max_catalog_path) +
                               " characters. Choose a directory nearer the root of a drive of the drive table.",
                           "Shelvo", DialogButtons::ok, DialogIcon::warning);
    return false;
  }
  PushRecentCatalog(Ed_pathbase->text());
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

} // namespace shelvo
