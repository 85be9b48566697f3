// The window's behaviour on the offscreen platform: its controls, the modes and
// their rules, the layout on resize, and the Go action on real catalogs.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QSettings>
#include <QGroupBox>
#include <QHeaderView>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <utility>

#include "engine/engine_main.h"
#include "platform/drive_discovery.h"
#include "platform/drive_table.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "window_test_support.h"
#include "window/application.h"
#include "window/controls.h"
#include "window/main_window.h"
#include "window/result_tree_model.h"
#include "window/run_controller.h"

using namespace shelvo;

namespace {

QColor text_colour(const QWidget* w) { return w->palette().color(QPalette::Text); }

// Where a control draws, in the coordinates of client: a check box its box and
// caption (as high as the taller of them), a label of one line set from its
// leading edge its text (their boxes are often wider and higher than that, and
// touch their neighbours'); any other control its whole box.
QRect drawn_rect(const QWidget* w, const QWidget* client) {
  QRect drawn = w->rect();
  if (const auto* box = qobject_cast<const QCheckBox*>(w)) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    drawn = box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box);
    const int indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).height();
    const int height = std::min(std::max(indicator, box->fontMetrics().height()), box->height());
    drawn.setTop((box->height() - height) / 2);
    drawn.setHeight(height);
  } else if (const auto* label = qobject_cast<const QLabel*>(w);
             label && !label->wordWrap() && (label->alignment() & Qt::AlignLeft)) {
    const QRect inside = label->contentsRect();
    const QSize text(label->fontMetrics().horizontalAdvance(label->text()), label->fontMetrics().height());
    drawn = QStyle::alignedRect(label->layoutDirection(), label->alignment(), text.boundedTo(inside.size()), inside);
  }
  return drawn.translated(w->mapTo(client, QPoint(0, 0)));
}

// The file lines of a tree as the view shows them: its leaves.
void collect_lines(const QAbstractItemModel& model, const QModelIndex& parent, QModelIndexList& lines) {
  for (int row = 0; row < model.rowCount(parent); ++row) {
    const QModelIndex index = model.index(row, 0, parent);
    if (model.rowCount(index) == 0 && parent.isValid()) lines << index;
    collect_lines(model, index, lines);
  }
}

// The box a call shows, answered by pressing key on it; its text and default button.
struct BoxSeen {
  QString text;
  QMessageBox::StandardButton default_button = QMessageBox::NoButton;
};
void answer_next_box(BoxSeen& seen, Qt::Key key) {
  QTimer::singleShot(0, [&seen, key] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen.text = box->text();
    seen.default_button = box->standardButton(box->defaultButton());
    QTest::keyClick(box, key);
  });
}

// PATH for the length of a test: the desktop's opener is found there, or not.
class PathFor {
public:
  explicit PathFor(const std::string& path) : saved_(qgetenv("PATH")) { qputenv("PATH", QByteArray::fromStdString(path)); }
  ~PathFor() { qputenv("PATH", saved_); }

private:
  QByteArray saved_;
};

} // namespace

class WindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<testing::TempDir> dir;
  std::unique_ptr<testing::DriveMapping> drives;
  std::unique_ptr<TForm1> form;
  testing::ScriptedDialogs dialogs;

  template <class T> T* get(const char* name) { return testing::control<T>(form.get(), name); }
  bool seen(const char* name) { return get<QWidget>(name)->isVisibleTo(form.get()); }
  // Adds a volume with the engine, as the add pass writes it.
  void add_volume(char letter, int files) {
    const std::string root = dir->path() + "/" + letter;
    testing::make_directories(root + "/sub");
    for (int i = 0; i < files; ++i) testing::write_file(root + "/sub/f" + std::to_string(i) + ".txt", "x");
    ArgumentVector vector{"", "/l:C:\\CAT\\", std::string(1, letter) + ":", "/Y"};
    QCOMPARE(engine_main(4, vector, FrontEnd{}), 1);
  }

private slots:
  void init() {
    QFile::remove(QSettings(QStringLiteral("Brenwick"), QStringLiteral("Shelvo")).fileName());
    dir = std::make_unique<testing::TempDir>();
    testing::make_directories(dir->path() + "/c");
    for (char v : {'D', 'E', 'F'}) testing::make_directories(dir->path() + "/" + v);
    drives = std::make_unique<testing::DriveMapping>(
        std::vector<std::pair<char, std::string>>{
            {'C', dir->path() + "/c"}, {'D', dir->path() + "/D"}, {'E', dir->path() + "/E"}, {'F', dir->path() + "/F"}},
        std::vector<std::pair<char, std::string>>{{'D', "DISK ONE"}, {'E', "DISK TWO"}, {'F', "DISK THREE"}});
    form = std::make_unique<TForm1>();
    form->set_services(&dialogs, nullptr);
    get<QLineEdit>("Ed_pathbase")->setText(QStringLiteral("C:\\CAT\\"));
    dialogs.shown.clear();
    stop_flag = 0;
  }
  void cleanup() {
    form.reset();
    drives.reset();
    dir.reset();
  }

  void controlsHaveTheirNamesKindsTextsAndPlaces() {
    struct Row {
      const char* name;
      const char* kind;
      const char* text;
      QRect place;
    };
    const Row rows[] = {
        {"Button1", "QPushButton", "&Add Drive to the Base", {16, 8, 113, 25}},
        {"Button3", "QPushButton", "&Search", {16, 36, 113, 25}},
        {"Button2", "QPushButton", "&List Volumes in Base", {16, 64, 113, 25}},
        {"TrackBarFonction", "QSlider", "", {0, 10, 17, 81}},
        {"Lab_help8", "QLabel", "Right Click on a directory to access it.", {16, 102, 113, 39}},
        {"Lab_onlytotal", "QLabel", "Print only number of files and dir found", {36, 105, 105, 25}},
        {"GroupBoxRecherche", "QGroupBox", " Search ", {144, 0, 537, 137}},
        {"GroupBoxNewDisk", "QGroupBox", "Add Drive ", {144, 0, 425, 65}},
        {"GroupBoxVolume", "QGroupBox", " Volume ", {144, 0, 361, 81}},
        {"Lab_help2", "QLabel", "eg: 'docu*' will display all file beginning by 'docu'...", {166, 24, 323, 17}},
        {"Ed_search1", "QLineEdit", "*.*", {16, 24, 127, 21}},
        {"Com_search1", "QComboBox", "", {16, 24, 145, 21}},
        {"Ed_search6", "QLineEdit", "", {320, 48, 145, 21}},
        {"Che_containsdir", "QCheckBox", "...and list content", {348, 110, 165, 17}},
        {"Lab_help6", "QLabel", "Chose a Drive to  Add to the Base", {184, 19, 185, 17}},
        {"Che_overwriteolddisk", "QCheckBox", "Don't overwrite disk if already in the base", {192, 26, 225, 17}},
        {"Ed_volumemask1", "QLineEdit", "*", {8, 16, 73, 21}},
        {"Lab_help5", "QLabel", "(Warning: CaSe SeNsItIvE)", {88, 26, 225, 17}},
        {"BitBtnGo", "QPushButton", "", {688, 6, 49, 49}},
        {"Bou_stop", "QPushButton", "Stop!", {688, 58, 49, 17}},
        {"Panel1", "QLabel", "Please wait...", {8, 144, 716, 219}},
        {"Lab_found", "QLabel", "Found:", {24, 366, 41, 13}},
        {"Bou_collapseall", "QPushButton", "Reduce All", {729, 233, 73, 17}},
    };
    for (const Row& row : rows) {
      QWidget* w = get<QWidget>(row.name);
      QVERIFY2(w->inherits(row.kind), row.name);
      QCOMPARE(w->geometry(), row.place);
      QString text;
      if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
      else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
      else if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
      else if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
      QCOMPARE(text, QString::fromUtf8(row.text));
    }
    QVERIFY(get<QCheckBox>("Che_archive")->isChecked() && get<QCheckBox>("Che_directory")->isChecked());
    QVERIFY(!get<QSlider>("TrackBarFonction")->isEnabled());
    QVERIFY(get<QLineEdit>("Ed_pathbase")->isHidden() && get<QLineEdit>("Ed_option")->isHidden());
    QCOMPARE(get<QLabel>("Lab_status")->text(), QStringLiteral("(none)"));
    // Ed_search1 lies over the text part of Com_search1; the tree over Panel1 and the bar.
    QVERIFY(get<QWidget>("client")->children().indexOf(get<QWidget>("TreeView1")) >
            get<QWidget>("client")->children().indexOf(get<QWidget>("ProgressBar1")));
  }

  // What a person sees wrong at the default size, in every mode, simple and
  // advanced: a shown control cut by the window's edge or by its group box, or
  // drawn over another one it was not meant to cover.
  void noShownControlIsCutOrCoveredAtTheDefaultSize() {
    form->show();
    QWidget* client = get<QWidget>("client");
    QTRY_COMPARE(client->size(), form->default_client_size());
    // Overlaps of the design: the edit over the recall list's text part, the
    // tree over "Please wait..." and the progress bar, the help texts that take
    // turns in one place, the mode marker behind the mode buttons, and the
    // slider's edge under them.
    const std::set<std::pair<QString, QString>> meant = {
        {"Com_search1", "Ed_search1"},      {"Panel1", "TreeView1"},         {"ProgressBar1", "TreeView1"},
        {"Panel1", "ProgressBar1"},         {"Lab_help10", "Lab_help8"},     {"Lab_help10", "Lab_help9"},
        {"Lab_help8", "Lab_help9"},         {"Button1", "Pan_sousbouton"},   {"Button2", "Pan_sousbouton"},
        {"Button3", "Pan_sousbouton"},      {"Button1", "TrackBarFonction"}, {"Button2", "TrackBarFonction"},
        {"Button3", "TrackBarFonction"},    {"Pan_sousbouton", "TrackBarFonction"}};
    const auto check = [&](const QString& mode) {
      std::vector<std::pair<QWidget*, QRect>> shown;
      for (QWidget* w : client->findChildren<QWidget*>()) {
        // The design's controls: those of the client area and of its group boxes.
        const bool designed = w->parentWidget() == client || qobject_cast<QGroupBox*>(w->parentWidget());
        if (!designed || !w->isVisibleTo(form.get()) || qobject_cast<QGroupBox*>(w)) continue;
        const QRect drawn = drawn_rect(w, client);
        const QString where = w->objectName() + QStringLiteral(" in ") + mode;
        QVERIFY2(client->rect().contains(drawn), qPrintable(where));
        if (auto* box = qobject_cast<QGroupBox*>(w->parentWidget()))
          QVERIFY2(QRect(box->mapTo(client, QPoint(0, 0)), box->size()).contains(drawn), qPrintable(where));
        shown.emplace_back(w, drawn);
      }
      for (std::size_t a = 0; a < shown.size(); ++a)
        for (std::size_t b = a + 1; b < shown.size(); ++b) {
          if (!shown[a].second.intersects(shown[b].second)) continue;
          const std::pair<QString, QString> pair =
              std::minmax(shown[a].first->objectName(), shown[b].first->objectName());
          QVERIFY2(meant.count(pair), qPrintable(pair.first + " on " + pair.second + " in " + mode));
        }
    };
    const auto every_mode = [&](const QString& size) {
      for (const QString& level : {QStringLiteral("simple"), QStringLiteral("advanced")}) {
        form->Button1Click();
        check(size + level + QStringLiteral(" add"));
        form->Button3Click(false);
        check(size + level + QStringLiteral(" search"));
        form->Button2Click();
        check(size + level + QStringLiteral(" list"));
        if (QTest::currentTestFailed()) return;
        form->AdvancedMode1Click();
      }
    };
    every_mode(QString());
    // And at the smallest size the window takes: every control still reachable.
    form->resize(form->minimumSize());
    QTRY_COMPARE(client->size(), form->minimum_client_size());
    every_mode(QStringLiteral("smallest, "));
  }

  void menuBarHasItsItems() {
    for (const char* name : {"ChooseNew", "ImportDatabaseincurrentone1", "Exportdatalinktovolumeinthetree1", "Exit1",
                             "D_1", "D_2", "D_3", "D_4", "AdvancedMode1", "About1", "N1", "N2", "N3"}) {
      auto* action = form->findChild<QAction*>(QString::fromLatin1(name));
      QVERIFY2(action, name);
      QVERIFY(action->isSeparator() || action->isEnabled());
    }
    QVERIFY(get<QAction>("AdvancedMode1")->isCheckable());
  }

  void modesAndAdvancedModeShowTheirControls() {
    // Start-up: Search mode, simple, help texts in place of the rarer options.
    QVERIFY(seen("GroupBoxRecherche") && !seen("GroupBoxNewDisk") && !seen("GroupBoxVolume"));
    for (const char* help : {"Lab_help1", "Lab_help2", "Lab_help3", "Lab_help4", "Lab_help5", "Lab_help8"})
      QVERIFY2(seen(help), help);
    for (const char* hidden : {"Ed_search2", "Ed_search6", "Ed_volumemask4", "Che_addstar", "Che_onlytotal",
                               "Che_reversesort", "Che_onlydirectory", "Che_autoexpand"})
      QVERIFY2(!seen(hidden), hidden);
    QCOMPARE(get<QSlider>("TrackBarFonction")->value(), 2);
    QCOMPARE(get<QWidget>("Pan_sousbouton")->y(), 32);

    form->Button2Click();
    QVERIFY(seen("GroupBoxVolume") && seen("GroupBoxVolumeMask") && !seen("GroupBoxRecherche"));
    QVERIFY(seen("Lab_help9") && !seen("Bou_expandall") && !seen("Bou_collapseall"));
    QCOMPARE(get<QWidget>("GroupBoxVolumeMask")->y(), 20);
    QCOMPARE(get<QSlider>("TrackBarFonction")->value(), 3);
    QCOMPARE(get<QWidget>("Pan_sousbouton")->y(), 60);

    form->AdvancedMode1Click(); // on, in List volumes mode: autoexpand stays hidden
    QVERIFY(get<QAction>("AdvancedMode1")->isChecked());
    QVERIFY(!seen("Che_autoexpand") && !seen("TrackBarFonction") && !seen("Lab_help9") && seen("Che_onlytotal"));
    QCOMPARE(get<QWidget>("Pan_sousbouton")->palette().color(QPalette::Window), QColor(0, 0, 128));
    form->Button3Click(true);
    QVERIFY(seen("Che_autoexpand") && seen("Ed_search6") && seen("Che_addstar") && seen("Bou_expandall"));
    QCOMPARE(get<QWidget>("GroupBoxVolumeMask")->y(), 76);

    form->Button1Click();
    QVERIFY(seen("GroupBoxNewDisk") && !seen("GroupBoxVolumeMask") && seen("Che_overwriteolddisk"));
    QVERIFY(seen("Bou_expandall")); // kept from the previous mode
    form->AdvancedMode1Click(); // off again
    QVERIFY(seen("Lab_help6") && seen("Lab_help7") && !seen("Che_overwriteolddisk"));
    QCOMPARE(get<QWidget>("Pan_sousbouton")->palette().color(QPalette::Window), QColor(0, 0, 255));
  }

  void optionRulesAndRedExclusionMasks() {
    auto* directory = get<QCheckBox>("Che_directory");
    auto* only = get<QCheckBox>("Che_onlydirectory");
    directory->setChecked(false);
    only->setChecked(true); // set by the program: the rule runs as for a click
    QVERIFY(directory->isChecked());
    QCOMPARE(text_colour(only), QColor(Qt::black));
    only->setChecked(false);
    QCOMPARE(text_colour(only), QColor(128, 128, 128));
    directory->setChecked(false);
    get<QCheckBox>("Che_containsdir")->setChecked(false);
    get<QCheckBox>("Che_containsdir")->setChecked(true);
    QVERIFY(directory->isChecked());

    auto* mask = get<QLineEdit>("Ed_search1");
    mask->setText(QStringLiteral("\\tmp*"));
    QCOMPARE(text_colour(mask), QColor(255, 0, 0));
    mask->setText(QStringLiteral("*.*"));
    QCOMPARE(text_colour(mask), QColor(Qt::black));
    get<QLineEdit>("Ed_volumemask3")->setText(QStringLiteral("\\OLD*"));
    QCOMPARE(text_colour(get<QLineEdit>("Ed_volumemask3")), QColor(255, 0, 0));
  }

  void theLayoutFollowsTheClientArea() {
    form->show();
    const int menu = form->menuBar()->height();
    form->resize(1000, 600 + menu);
    QTRY_COMPARE(get<QWidget>("client")->size(), QSize(1000, 600));
    QCOMPARE(get<QWidget>("TreeView1")->size(), QSize(912, 438));
    QCOMPARE(get<QWidget>("Lab_found")->y(), 144 + 438 + 4 - 1);
    form->resize(804, 381 + menu);
    QTRY_COMPARE(get<QWidget>("client")->size(), QSize(804, 381));
    QCOMPARE(get<QWidget>("TreeView1")->size(), QSize(716, 219));
    QCOMPARE(get<QWidget>("Bou_sortbyname")->x(), 729);
    QCOMPARE(get<QWidget>("Che_autoexpand")->x(), 729);
    QCOMPARE(get<QWidget>("Lab_status")->y(), 367);
    QCOMPARE(get<QWidget>("ProgressBar1")->y(), 263);
    QCOMPARE(get<QWidget>("ProgressBar1")->width(), 700);
    QCOMPARE(get<QWidget>("Panel1")->size(), QSize(716, 219));
  }

  void goInEachModeOnARealCatalog() {
    testing::write_file(dir->path() + "/D/readme.txt", "hello");
    form->Button1Click();
    get<DriveComboBox>("DriveComboBox1")->select_letter('D');
    form->BitBtnGoClick();
    QCOMPARE(testing::read_file(dir->path() + "/c/CAT/00000001.KTL").substr(0, 15), std::string("DISK ONE       "));
    QVERIFY(get<QLabel>("Lab_status")->text().startsWith(QStringLiteral("File:")));
    QCOMPARE(form->volumes_listed_flag(), 0);

    form->Button2Click();
    form->BitBtnGoClick();
    QCOMPARE(form->result_model().rowCount(), 2); // the empty file 0 and DISK ONE, filled live
    QCOMPARE(form->result_model().index(1, 0).data().toString(), QStringLiteral("DISK ONE       v2.2"));
    QCOMPARE(form->volumes_listed_flag(), 1);
    QCOMPARE(get<QPushButton>("Bou_sortbysize")->text(), QStringLiteral("Sort by Date"));
    QCOMPARE(get<QLabel>("Lab_status")->text(), QStringLiteral("2 volume(s)"));

    form->Button3Click(false);
    form->AdvancedMode1Click();
    get<QCheckBox>("Che_addstar")->setChecked(true);
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("readme"));
    get<QLineEdit>("Ed_search2")->setText(QStringLiteral("\\tmp"));
    QTest::keyClick(get<QLineEdit>("Ed_search1"), Qt::Key_Return); // Enter runs Go
    QCOMPARE(get<QLineEdit>("Ed_search1")->text(), QStringLiteral("*readme*"));
    QCOMPARE(get<QLineEdit>("Ed_search2")->text(), QStringLiteral("\\*tmp*")); // still an exclusion
    QCOMPARE(counters.found_files, 1);
    QCOMPARE(form->search_results_flag(), 1);
    QCOMPARE(form->volumes_listed_flag(), 0);
    QCOMPARE(get<QPushButton>("Bou_sortbysize")->text(), QStringLiteral("Sort by Size"));
    QVERIFY(!get<QWidget>("TreeView1")->isHidden());
    QCOMPARE(form->result_model().rowCount(), 1);
    QVERIFY(get<QPushButton>("BitBtnGo")->isEnabled());

    get<QCheckBox>("Che_onlytotal")->setChecked(true); // empties the tree at once
    QCOMPARE(form->result_model().rowCount(), 0);
    QCOMPARE(get<QWidget>("TreeView1")->palette().color(QPalette::Base), QColor(192, 192, 192));
  }

  void aStopEndsASearchAfterTheVolumeUnderWay() {
    add_volume('D', 30);
    add_volume('E', 30);
    add_volume('F', 30);
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("*"));
    // The click arrives while the pass processes events at its first status line.
    QTimer::singleShot(0, get<QPushButton>("Bou_stop"), &QPushButton::click);
    form->BitBtnGoClick();
    QVERIFY(counters.volume_number < 4);
    QVERIFY(get<QLabel>("Lab_status")->text().endsWith(QStringLiteral("(stopped by the user)")));
    QVERIFY(get<QPushButton>("BitBtnGo")->isEnabled());
  }

  void aRealMessageBoxIsAnsweredAndTooLongPathsAreRefused() {
    add_volume('D', 1);
    form->set_services(nullptr, nullptr); // the window's own boxes
    form->Button1Click();
    get<QCheckBox>("Che_overwriteolddisk")->setChecked(true);
    get<DriveComboBox>("DriveComboBox1")->select_letter('D');
    QString seen_text;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen_text = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    form->BitBtnGoClick();
    QVERIFY(seen_text.startsWith(QStringLiteral("This drive is already in the base...")));
    QCOMPARE(get<QLabel>("Lab_status")->text(), QStringLiteral("This drive is already in the base..."));

    form->set_services(&dialogs, nullptr);
    get<QLineEdit>("Ed_pathbase")->setText(QStringLiteral("C:\\") + QString(58, QLatin1Char('x'))); // 61
    form->Button3Click(false);
    form->BitBtnGoClick();
    QCOMPARE(dialogs.shown.size(), std::size_t{1});
    QVERIFY(dialogs.shown[0].find("at most 60 characters") != std::string::npos);
  }

  void aCloseDuringARunWaitsForTheRun() {
    add_volume('D', 30);
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("*"));
    form->show();
    bool refused_while_running = false;
    QTimer::singleShot(0, [&] {
      QVERIFY(form->run_in_progress());
      QVERIFY(!form->findChild<QPushButton*>(QStringLiteral("Button2"))->isEnabled());
      refused_while_running = !form->close();
    });
    form->BitBtnGoClick();
    QVERIFY(refused_while_running);
    QVERIFY(!form->run_in_progress());
    QVERIFY(form->isHidden()); // closed once the pass had returned
    // and the search was remembered before the settings were saved
    QCOMPARE(QSettings(QStringLiteral("Brenwick"), QStringLiteral("Shelvo")).value(QStringLiteral("lsts000")).toString(),
             QStringLiteral("*"));
  }

  void theTreeActionsSortDeleteAndOpen() {
    add_volume('D', 1);
    add_volume('E', 1);
    form->show();
    form->Button2Click();
    form->BitBtnGoClick();
    QCOMPARE(form->result_model().rowCount(), 3);
    // Right click on DISK ONE, answered Yes: deleted, listed again, renumbered.
    dialogs.otherwise = DialogAnswer::yes;
    auto* view = get<QTreeView>("TreeView1");
    const QModelIndex one = form->result_model().index(1, 0);
    form->TreeView1MouseDown(Qt::RightButton, view->visualRect(one).center());
    QCOMPARE(dialogs.shown.back(), std::string("Warning: Are you sure, you want to destroy data link to [DISK ONE       v2.2] ?"));
    QCOMPARE(form->result_model().rowCount(), 2);
    QCOMPARE(form->result_model().index(1, 0).data().toString(), QStringLiteral("DISK TWO       v2.2"));

    // Sort by name: ascending by the locale's collation, descending by bytes.
    ResultTree& tree = form->result_tree();
    tree.clear_result_tree();
    for (const char* label : {"b", "B", "a", "_x"}) tree.add_volume_node(label, 0, VolumeNodeMode::listing);
    form->Bou_sortbynameClick();
    QStringList order;
    for (int row = 0; row < 4; ++row) order << form->result_model().index(row, 0).data().toString();
    QCOMPARE(order, QStringList({"_x", "a", "b", "B"}));
    get<QCheckBox>("Che_reversesort")->setChecked(true);
    form->Bou_sortbynameClick();
    QCOMPARE(form->result_model().index(3, 0).data().toString(), QStringLiteral("B"));

    // A search's hit opens through the launcher.
    testing::RecordingLauncher launcher;
    form->set_services(&dialogs, &launcher);
    testing::write_file(dir->path() + "/E/found.txt", "f");
    get<QCheckBox>("Che_reversesort")->setChecked(false);
    form->Button3Click(false);
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("found.txt"));
    form->BitBtnGoClick(); // finds nothing: E was catalogued before found.txt was written
    tree.add_volume_node("DISK TWO       ", 1, VolumeNodeMode::search);
    tree.add_file_line("", "FOUND.TXT", 1, 1, 1, 1, 1, 1);
    form->result_model().set_frozen(true);
    form->result_model().set_frozen(false);
    form->Bou_expandallClick();
    const QModelIndex line = form->result_model().index(0, 0, form->result_model().index(0, 0));
    form->TreeView1MouseDown(Qt::RightButton, view->visualRect(line).center());
    QCOMPARE(launcher.opened, std::vector<std::string>{dir->path() + "/E/found.txt"});

    // Export only after a listing.
    form->Exportdatalinktovolumeinthetree1Click();
    QVERIFY(dialogs.shown.back().rfind("Wrong Moment: You must have some volume in the view", 0) == 0);
  }

  void anImportShowsTheListingWhileItHoldsTheCatalog() {
    add_volume('D', 1); // C:\CAT: the empty file 0, then DISK ONE
    const std::string other = dir->path() + "/E";
    testing::write_file(other + "/00000000.KTL", std::string("DISK TWO       \x05") + std::string(8, '\0') + "\\" + '\0');
    form->set_file_chooser([&](const QString&, const QString&, const QString&) {
      return std::optional<QString>(QString::fromStdString(other + "/any"));
    });
    // The listings the import shows run while it holds the catalog: they must
    // read under its lock, not wait for it (a watchdog would stop them).
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { stop_flag = 1; });
    watchdog.start(10000);
    dialogs.otherwise = DialogAnswer::yes; // the empty file 0 goes
    form->show();
    form->ImportDatabaseincurrentone1Click();
    QVERIFY(watchdog.isActive());
    QCOMPARE(dialogs.captioned("GOOD Job").size(), std::size_t{1});
    QCOMPARE(form->result_model().rowCount(), 2);
    QCOMPARE(form->result_model().index(1, 0).data().toString(), QStringLiteral("DISK TWO       v2.2"));
  }

  void aRefusedRunChangesNothing() {
    add_volume('D', 1);
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("f0"));
    form->BitBtnGoClick();
    QCOMPARE(form->result_model().rowCount(), 1);
    QCOMPARE(form->recent_searches()[0].masks[0], QStringLiteral("*f0*"));
    const auto unchanged = [&] {
      QCOMPARE(form->result_model().rowCount(), 1);
      QCOMPARE(form->search_results_flag(), 1);
      QCOMPARE(form->volumes_listed_flag(), 0);
      QCOMPARE(form->recent_searches()[0].masks[0], QStringLiteral("*f0*"));
      QCOMPARE(get<QComboBox>("Com_search1")->itemText(0), QStringLiteral("*f0*"));
      QVERIFY(!get<QWidget>("TreeView1")->isHidden());
      QCOMPARE(get<QPushButton>("Bou_sortbysize")->text(), QStringLiteral("Sort by Size"));
    };
    // A mask the engine would take for a drive to add.
    get<QCheckBox>("Che_addstar")->setChecked(false);
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("c:*"));
    form->BitBtnGoClick();
    QVERIFY(dialogs.shown.back().find("Search mask 1") != std::string::npos);
    unchanged();
    // A mask too long: refused before Add Stars touches it.
    get<QCheckBox>("Che_addstar")->setChecked(true);
    get<QLineEdit>("Ed_search1")->setText(QString(70, QLatin1Char('a')));
    form->BitBtnGoClick();
    QCOMPARE(get<QLineEdit>("Ed_search1")->text(), QString(70, QLatin1Char('a')));
    unchanged();
    // No mask at all: said, and the progress maximum of the last search kept.
    const int maximum = get<QProgressBar>("ProgressBar1")->maximum();
    get<QLineEdit>("Ed_search1")->clear();
    form->BitBtnGoClick();
    QCOMPARE(dialogs.shown.back(), "Shelvo: " + std::string(no_search_mask_message));
    QCOMPARE(get<QProgressBar>("ProgressBar1")->maximum(), maximum);
    unchanged();
    // A listing refused for its volume mask keeps the search's tree and flags.
    form->Button2Click();
    get<QLineEdit>("Ed_volumemask1")->setText(QStringLiteral("SIXTEEN-LETTERS!"));
    form->BitBtnGoClick();
    QVERIFY(dialogs.shown.back().find("Volume mask 1") != std::string::npos);
    unchanged();
  }

  void escapeStopsARunAndCtrlQQuits() {
    add_volume('D', 30);
    add_volume('E', 30);
    add_volume('F', 30);
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("*"));
    QTimer::singleShot(0, [&] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    form->BitBtnGoClick();
    QVERIFY(counters.volume_number < 4);
    QVERIFY(get<QLabel>("Lab_status")->text().endsWith(QStringLiteral("(stopped by the user)")));
    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(form->isHidden());
  }

  // Typed keys never land on the recall list, where they would load an older
  // search unseen: it takes no focus, and drops down from the first mask.
  void theRecallListIsOutOfTheTypingPath() {
    auto* recall = get<QComboBox>("Com_search1");
    QVERIFY(!recall->isEditable());
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    get<QLineEdit>("Ed_search1")->setFocus();
    for (int tab = 0; tab < 40; ++tab) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QVERIFY(QApplication::focusWidget() != recall);
    }
    QCOMPARE(recall->count(), 24);
    QCOMPARE(form->recent_searches()[0].masks[0], QString());
    QCOMPARE(get<QLineEdit>("Ed_search1")->text(), QStringLiteral("*.*"));
    QTest::keyClick(get<QLineEdit>("Ed_search1"), Qt::Key_Down, Qt::AltModifier);
    QTRY_VERIFY(recall->view()->isVisible());
    recall->hidePopup();
  }

  // Typing right after the start goes into the first mask, and every control
  // the Tab key reaches, in every mode, is one a person sees.
  void theKeyboardStartsInTheFirstFieldAndEveryTabStopIsSeen() {
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(QApplication::focusWidget(), get<QWidget>("Ed_search1"));
    for (const char* mode : {"Button3", "Button1", "Button2"}) {
      get<QPushButton>(mode)->click();
      QSet<QWidget*> seen_stops;
      for (int tab = 0; tab < 60; ++tab) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus && focus->isVisible(), qPrintable(QStringLiteral("%1 in %2").arg(focus ? focus->objectName() : "nothing", mode)));
        QVERIFY2(!focus->objectName().isEmpty(), qPrintable(focus->metaObject()->className()));
        seen_stops.insert(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
      }
      QVERIFY(seen_stops.size() > 5);
    }
  }

  // A person without a mouse adds a drive, finds a file and opens it, lists
  // the volumes and deletes one.
  // The focus on the current mode's button shows inside the button, where the
  // marker's blue or navy frame around it cannot hide it.
  void theFocusOnAModeButtonShowsInsideTheMarker() {
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    for (bool advanced : {false, true}) {
      if (advanced) form->AdvancedMode1Click();
      auto* button = get<QPushButton>("Button3");
      const QRect inside = button->rect().adjusted(3, 3, -3, -3);
      get<QLineEdit>("Ed_search1")->setFocus();
      const QImage without = button->grab().toImage().copy(inside);
      button->setFocus(Qt::TabFocusReason);
      const QImage with = button->grab().toImage().copy(inside);
      int changed = 0;
      for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
          if (qGray(with.pixel(x, y)) + 60 < qGray(without.pixel(x, y))) ++changed;
      QVERIFY2(changed > 40, qPrintable(QString::number(changed)));
    }
  }

  void theKeyboardAloneAddsSearchesOpensAndDeletes() {
    testing::write_file(dir->path() + "/D/found.txt", "f");
    testing::RecordingLauncher launcher;
    form->set_services(&dialogs, &launcher);
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    const auto key = [](int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(k), modifiers);
    };
    const auto tab_to = [&](QWidget* target) {
      for (int tab = 0; tab < 40 && QApplication::focusWidget() != target; ++tab) key(Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), target);
    };
    auto* tree = get<QTreeView>("TreeView1");

    key(Qt::Key_A, Qt::AltModifier); // Add mode, on the drive chosen for it
    QTRY_COMPARE(QApplication::focusWidget(), get<QWidget>("DriveComboBox1")); // once the button is pressed
    QCOMPARE(get<DriveComboBox>("DriveComboBox1")->selected_letter(), 'D');
    key(Qt::Key_Return);
    QVERIFY(QFile::exists(QString::fromStdString(dir->path() + "/c/CAT/00000001.KTL")));

    key(Qt::Key_S, Qt::AltModifier); // Search mode, in the first mask
    QTRY_COMPARE(QApplication::focusWidget(), get<QWidget>("Ed_search1"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("found"));
    key(Qt::Key_Return);
    QCOMPARE(counters.found_files, 1);
    QCOMPARE(QApplication::focusWidget(), get<QWidget>("Ed_search1"));
    tab_to(tree);
    key(Qt::Key_Down);
    key(Qt::Key_Down); // the volume, then its file
    key(Qt::Key_Return);
    QCOMPARE(launcher.opened, std::vector<std::string>{dir->path() + "/D/found.txt"});
    key(Qt::Key_Return, Qt::ControlModifier); // and the folder that holds it
    QCOMPARE(launcher.opened.back(), dir->path() + "/D/");

    key(Qt::Key_L, Qt::AltModifier); // List mode, then the listing
    QTRY_COMPARE(QApplication::focusWidget(), get<QWidget>("Ed_volumemask1"));
    key(Qt::Key_Return);
    QCOMPARE(form->result_model().rowCount(), 2);
    tab_to(tree);
    key(Qt::Key_Down);
    key(Qt::Key_Down); // DISK ONE
    dialogs.otherwise = DialogAnswer::yes;
    key(Qt::Key_Delete);
    QCOMPARE(dialogs.shown.back(), std::string("Warning: Are you sure, you want to destroy data link to [DISK ONE       v2.2] ?"));
    QCOMPARE(form->result_model().rowCount(), 1);
    QCOMPARE(testing::list_directory(dir->path() + "/c/CAT"), std::vector<std::string>{"00000000.KTL"});
  }

  void theDestroyQuestionAnswersNoToEnter() {
    add_volume('D', 1);
    form->set_services(nullptr, nullptr); // the window's own boxes
    form->show();
    form->Button2Click();
    form->BitBtnGoClick();
    QCOMPARE(form->result_model().rowCount(), 2);
    BoxSeen seen;
    answer_next_box(seen, Qt::Key_Return);
    auto* view = get<QTreeView>("TreeView1");
    form->TreeView1MouseDown(Qt::RightButton, view->visualRect(form->result_model().index(1, 0)).center());
    QVERIFY(seen.text.startsWith(QStringLiteral("Are you sure")));
    QCOMPARE(seen.default_button, QMessageBox::No);
    QCOMPARE(form->result_model().rowCount(), 2);
    QCOMPARE(testing::list_directory(dir->path() + "/c/CAT"), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
  }

  // What no opener can do is said: an opener that ends in failure, a member
  // (it opens through its archive), a hit on no drive any more; and a stopped
  // add says that nothing was added.
  void whatCannotBeOpenedOrAddedIsSaid() {
    testing::make_directories(dir->path() + "/D/docs");
    testing::write_file(dir->path() + "/D/docs/found.txt", "f");
    testing::write_file(dir->path() + "/D/docs/gone.txt", "g");
    const std::string bin = dir->path() + "/bin";
    testing::make_directories(bin);
    testing::write_file(bin + "/xdg-open", "#!/bin/sh\necho 'xdg-open: no method available' >&2\nexit 4\n");
    QVERIFY(QFile::setPermissions(QString::fromStdString(bin + "/xdg-open"), QFile::ReadOwner | QFile::ExeOwner));
    const PathFor path(bin);
    add_volume('D', 0);
    // A member of an archive, as the add records one.
    ResultTree& tree = form->result_tree();
    form->show();
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("*.txt"));
    form->BitBtnGoClick();
    std::filesystem::remove(dir->path() + "/D/docs/gone.txt");
    tree.add_file_line("\\DOCS\\FOUND.TXT", "MEMBER.TXT", 1, 1, 1, 1, 1, 1);
    form->result_model().set_frozen(true);
    form->result_model().set_frozen(false);
    form->Bou_expandallClick();
    const auto right_click = [&](const QString& starts) {
      auto* view = get<QTreeView>("TreeView1");
      QModelIndexList lines;
      collect_lines(form->result_model(), QModelIndex(), lines);
      for (const QModelIndex& line : lines)
        if (line.data().toString().startsWith(starts))
          form->TreeView1MouseDown(Qt::RightButton, view->visualRect(line).center());
    };
    form->set_services(&dialogs, nullptr); // the desktop's own opener, which fails
    right_click(QStringLiteral("FOUND.TXT"));
    QTRY_COMPARE(dialogs.shown.size(), std::size_t{1});
    QCOMPARE(dialogs.shown[0], "Shelvo: The desktop's opener (xdg-open) could not open " + dir->path() +
                                   "/D/docs/found.txt: it ended with status 4 (no program for this kind of file, or "
                                   "none it could start).");
    right_click(QStringLiteral("MEMBER.TXT"));
    QCOMPARE(dialogs.shown.back(), "Shelvo: DOCS\\FOUND.TXT\\MEMBER.TXT is a member of the archive " + dir->path() +
                                       "/D/docs/found.txt: a member opens through its archive (open the archive's "
                                       "node, or its folder).");
    right_click(QStringLiteral("GONE.TXT"));
    QVERIFY(dialogs.shown.back().rfind("Shelvo: DOCS\\GONE.TXT is on no drive of the drive table now", 0) == 0);

    for (int i = 0; i < 30; ++i) testing::write_file(dir->path() + "/E/f" + std::to_string(i), "x");
    form->Button1Click();
    get<DriveComboBox>("DriveComboBox1")->select_letter('E');
    QTimer::singleShot(0, get<QPushButton>("Bou_stop"), &QPushButton::click);
    form->BitBtnGoClick();
    QCOMPARE(dialogs.shown.back(), "Shelvo: " + std::string(stopped_add_message));
    QCOMPARE(testing::list_directory(dir->path() + "/c/CAT"), (std::vector<std::string>{"00000000.KTL", "00000001.KTL"}));
  }

  void foundPathsAndTheLogOpenWithTheDesktopOpenerOrSayNothingCould() {
    testing::write_file(dir->path() + "/D/found.txt", "f");
    testing::write_file(dir->path() + "/D/bad.zip", "PK\x03\x04" + std::string(4, '\0') + std::string(1, '\x15') +
                                                       std::string(9, '\0') +
                                                       std::string("\x01\0\0\0\x01\0\0\0\x05\0\0\0", 12) + "a?txt" + "x");
    const std::string bin = dir->path() + "/bin";
    const std::string record = dir->path() + "/opened";
    testing::make_directories(bin);
    const PathFor path(bin);
    form->set_services(&dialogs, nullptr); // the desktop's own opener
    dialogs.otherwise = DialogAnswer::yes; // to see the log
    const auto add_d = [&] {
      form->Button1Click();
      get<DriveComboBox>("DriveComboBox1")->select_letter('D');
      form->BitBtnGoClick();
    };
    const auto open_found = [&] {
      form->Button3Click(false);
      get<QLineEdit>("Ed_search1")->setText(QStringLiteral("found.txt"));
      form->BitBtnGoClick();
      const QModelIndex line = form->result_model().index(0, 0, form->result_model().index(0, 0));
      form->TreeView1MouseDown(Qt::RightButton, get<QTreeView>("TreeView1")->visualRect(line).center());
    };
    form->show();

    add_d(); // no opener on the PATH: both are said
    QCOMPARE(dialogs.shown.back(), "Shelvo: No program could be started to show the log C:\\KESTRA.ERR (" + dir->path() +
                                       "/c/KESTRA.ERR). Open it with a text editor.");
    open_found();
    QCOMPARE(dialogs.shown.back(), "Shelvo: No program could be started to open:\n" + dir->path() +
                                       "/D/found.txt\n\nA desktop's opener (xdg-open) opens found files and directories.");

    testing::write_file(bin + "/xdg-open", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" >>" + record + "\n");
    QVERIFY(QFile::setPermissions(QString::fromStdString(bin + "/xdg-open"), QFile::ReadOwner | QFile::ExeOwner));
    const std::size_t boxes = dialogs.shown.size();
    open_found();
    QTRY_COMPARE(QString::fromStdString(testing::read_file(record)),
                 QString::fromStdString("1|" + dir->path() + "/D/found.txt|"));
    add_d();
    QTRY_COMPARE(QString::fromStdString(testing::read_file(record)),
                 QString::fromStdString("1|" + dir->path() + "/D/found.txt|1|" + dir->path() + "/c/KESTRA.ERR|"));
    QCOMPARE(dialogs.shown.size(), boxes + 1); // only the broken-archive question
  }

  void theTreeShowsWholeLinesAtTheDefaultSize() {
    testing::make_directories(dir->path() + "/D/a/b/c");
    testing::write_file(dir->path() + "/D/readme.txt", "r");
    testing::write_file(dir->path() + "/D/a/b/c/deep.txt", "d");
    add_volume('D', 30); // and enough lines for a vertical scroll bar
    form->show();
    QTRY_COMPARE(get<QWidget>("client")->size(), form->default_client_size());
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("*.txt"));
    form->BitBtnGoClick(); // and expanded
    auto* view = get<QTreeView>("TreeView1");
    QModelIndexList lines;
    collect_lines(form->result_model(), QModelIndex(), lines);
    QCOMPARE(lines.size(), 32); // at depths 0, 1 and 3
    QTRY_VERIFY(view->verticalScrollBar()->isVisible());
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    for (const QModelIndex& line : lines) {
      const int end = view->visualRect(line).left() + margin +
                      QFontMetrics(view->font()).horizontalAdvance(line.data().toString());
      QVERIFY2(end <= view->viewport()->width(), qPrintable(line.data().toString()));
    }
    QCOMPARE(view->horizontalScrollBar()->value(), 0);
  }

  // Searches tell É from E, so the tree must show the accent of a capital
  // whole at the default size: ÉTE and ETE differ on the screen.
  void aCapitalsAccentShowsInTheTree() {
    ResultTree& tree = form->result_tree();
    tree.add_volume_node("\xC9TE", 1, VolumeNodeMode::listing);
    tree.add_volume_node("ETE", 2, VolumeNodeMode::listing);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    auto* view = get<QTreeView>("TreeView1");
    const QImage shown = view->viewport()->grab().toImage();
    const auto first_letter = [&](int row) {
      const QRect line = view->visualRect(form->result_model().index(row, 0));
      const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
      return shown.copy(QRect(line.left() + margin, line.top(), view->fontMetrics().horizontalAdvance(QLatin1Char('E')),
                              line.height()));
    };
    QVERIFY(first_letter(0) != first_letter(1));
  }

  // A line longer than the padded column (a long name) is not cut: the
  // column holds it whole and the scroll bar reaches its end.
  void aLineWiderThanTheViewScrollsToItsEnd() {
    testing::write_file(dir->path() + "/D/" + std::string(84, 'n') + ".txt", "5");
    add_volume('D', 1);
    form->show();
    QTRY_COMPARE(get<QWidget>("client")->size(), form->default_client_size());
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("nnn*"));
    form->BitBtnGoClick();
    auto* view = get<QTreeView>("TreeView1");
    QModelIndexList lines;
    collect_lines(form->result_model(), QModelIndex(), lines);
    QCOMPARE(lines.size(), 1);
    const QString text = lines[0].data().toString();
    QVERIFY(QRegularExpression(QStringLiteral(" 1 \\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d$")).match(text).hasMatch()); // size, date
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const int end = view->visualRect(lines[0]).left() + view->horizontalScrollBar()->value() + margin +
                    view->fontMetrics().horizontalAdvance(text);
    QVERIFY(end <= view->header()->sectionSize(0));
    auto* bar = view->horizontalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    QVERIFY(end - bar->value() <= view->viewport()->width());
  }

  void theTreeStartsAtItsLeftEdgeWhenBuiltOrReduced() {
    add_volume('D', 3);
    form->show();
    form->resize(form->minimumSize());
    auto* bar = get<QTreeView>("TreeView1")->horizontalScrollBar();
    get<QLineEdit>("Ed_search1")->setText(QStringLiteral("*.txt"));
    form->BitBtnGoClick();
    QTRY_VERIFY(bar->maximum() > 0); // the smallest window scrolls the longest lines
    bar->setValue(bar->maximum());
    form->Bou_collapseallClick();
    QCOMPARE(bar->value(), 0);
    bar->setValue(bar->maximum());
    form->BitBtnGoClick();
    QCOMPARE(bar->value(), 0);
  }

  void theLongestStatusLineAndGoFitTheDefaultAndTheSmallestWindow() {
    counters.found_files = counters.found_members = 2000000000;
    counters.found_bytes = counters.found_member_bytes = 1e15;
    counters.found_dirs = 9999999;
    counters.found_volumes = 999;
    counters.volume_number = 999;
    known_volume_count = 999;
    stop_flag = 1;
    const QString longest = QString::fromStdString(search_status_line());
    stop_flag = 0;
    auto* status = get<QLabel>("Lab_status");
    const int end = status->x() + QFontMetrics(status->font()).horizontalAdvance(longest);
    QVERIFY(end <= form->minimum_client_size().width());
    QVERIFY(form->minimum_client_size().width() <= form->default_client_size().width());
    const QRect go = get<QWidget>("BitBtnGo")->geometry();
    QVERIFY(go.right() < form->minimum_client_size().width());
    QCOMPARE(form->minimumSize(), form->minimum_client_size() + QSize(0, form->menuBar()->sizeHint().height()));
  }

  void startUpErrorsAreShownInABox() {
    BoxSeen seen;
    answer_next_box(seen, Qt::Key_Return);
    report_startup_error(QStringLiteral("SHELVO_DRIVES: 'C:/nonsense' is not LETTER:=DIRECTORY"));
    QVERIFY(seen.text.contains(QStringLiteral("'C:/nonsense'")));
  }

  void theDriveListShowsTheDriveTable() {
    auto* drives_box = get<QComboBox>("DriveComboBox1");
    QCOMPARE(drives_box->count(), 4);
    QCOMPARE(drives_box->itemText(1), QStringLiteral("D:  DISK ONE"));
    // Add mode starts off the drive that holds the catalog, C:, and keeps a choice.
    form->Button1Click();
    QCOMPARE(get<DriveComboBox>("DriveComboBox1")->selected_letter(), 'D');
    get<DriveComboBox>("DriveComboBox1")->select_letter('F');
    form->Button3Click(false);
    form->Button1Click();
    QCOMPARE(get<DriveComboBox>("DriveComboBox1")->selected_letter(), 'F');
  }

  // A new user: no drives file, no settings, the table that is built (C: in
  // the home directory, which is D:). The first Add Drive, Go adds the home
  // without Shelvo's own folders, and says so once; with a disk plugged in,
  // Add Drive starts on that disk.
  void aFreshHomeAddsItsFirstDrive() {
    const std::string home = dir->path() + "/home";
    testing::write_file(dir->path() + "/mounts", "");
    testing::make_directories(home + "/Documents");
    testing::write_file(home + "/Documents/letter.txt", "l");
    set_drive_table(build_automatic_table(dir->path() + "/mounts", home, home + "/.local/share"));
    form = std::make_unique<TForm1>();
    form->set_services(&dialogs, nullptr);
    form->Button1Click();
    QCOMPARE(get<DriveComboBox>("DriveComboBox1")->selected_letter(), 'D');
    form->BitBtnGoClick();
    const std::string c = home + "/.local/share/shelvo/drive_c";
    const std::string volume = testing::read_file(c + "/voldepot/00000001.KTL"); // as the default path spells it
    QVERIFY(volume.find("LETTER.TXT") != std::string::npos);
    QVERIFY(volume.find("VOLDEPOT") == std::string::npos);
    QCOMPARE(dialogs.shown, std::vector<std::string>{"Shelvo: The volume was recorded without Shelvo's own folders, "
                                                     "which this drive holds: " + c + "."});
    QVERIFY(get<QLabel>("Lab_status")->text().startsWith(QStringLiteral("File:")));

    testing::make_directories(dir->path() + "/stick");
    DriveTable plugged = drive_table();
    plugged.set({'E', dir->path() + "/stick", std::nullopt});
    set_drive_table(plugged);
    form = std::make_unique<TForm1>();
    form->Button1Click();
    QCOMPARE(get<DriveComboBox>("DriveComboBox1")->selected_letter(), 'E');
  }

  void theModelFollowsTheTreeWithoutCopying() {
    ResultTree& tree = form->result_tree();
    ResultTreeModel& model = form->result_model();
    tree.add_volume_node("VOL", 3, VolumeNodeMode::listing);
    tree.add_file_line("\\A\\B", "\x8F" "X.TXT", 5, 1, 2, 3, 4, 5);
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex b = model.index(0, 0, model.index(0, 0, model.index(0, 0)));
    QCOMPARE(b.data().toString(), QStringLiteral("B"));
    QCOMPARE(model.parent(b).data().toString(), QStringLiteral("A"));
    QVERIFY(model.index(0, 0, b).data().toString().startsWith(QString(QChar(0xFFFD)) + "X.TXT"));
    QVERIFY(b.internalId() != quintptr{2}); // ids are spread, not dense
    QCOMPARE(model.node_of(b), NodeId{2});
    model.set_frozen(true);
    QCOMPARE(model.rowCount(), 0);
    tree.add_volume_node("MORE", 4, VolumeNodeMode::search);
    model.set_frozen(false);
    QCOMPARE(model.rowCount(), 2);
  }
};

SHELVO_WINDOW_TEST_MAIN(WindowTest)

#include "main_window_test.moc"
