// TForm1's form: the controls with their places, texts and looks, the menu, the
// tab order, and the layout rules for the client area's size.
#include "window/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTreeView>

#include <algorithm>
#include <string>
#include <vector>

#include "results/result_tree.h"
#include "window/colours.h"
#include "window/controls.h"

namespace shelvo {

namespace {

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

} // namespace

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

} // namespace shelvo
