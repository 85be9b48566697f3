// Settings that survive a restart, the recent searches and catalogs, and the
// choice of catalog, on the offscreen platform with settings in a temporary
// XDG_CONFIG_HOME.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QTest>

#include <memory>

#include "engine/engine_main.h"
#include "support/fakes.h"
#include "support/test_support.h"
#include "window_test_support.h"
#include "window/main_window.h"
#include "window/result_tree_model.h"

using namespace shelvo;

namespace {

QSettings stored() { return QSettings(QStringLiteral("Brenwick"), QStringLiteral("Shelvo")); }

} // namespace

class SettingsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<testing::TempDir> dir;
  std::unique_ptr<testing::DriveMapping> drives;
  std::unique_ptr<TForm1> form;
  testing::ScriptedDialogs dialogs;

  template <class T> T* get(const char* name) { return testing::control<T>(form.get(), name); }
  QLineEdit* edit(const char* name) { return get<QLineEdit>(name); }
  QCheckBox* box(const char* name) { return get<QCheckBox>(name); }
  // A restart: the window closes (saving), and a new one loads.
  void restart() {
    if (form) form->close();
    form = std::make_unique<TForm1>();
    form->set_services(&dialogs, nullptr);
  }
  void search_for(const QString& mask) {
    edit("Ed_search1")->setText(mask);
    form->BitBtnGoClick();
  }

private slots:
  void init() {
    QFile::remove(stored().fileName());
    dir = std::make_unique<testing::TempDir>();
    testing::make_directories(dir->path() + "/c");
    testing::make_directories(dir->path() + "/d/CAT");
    drives = std::make_unique<testing::DriveMapping>(
        std::vector<std::pair<char, std::string>>{{'C', dir->path() + "/c"}, {'D', dir->path() + "/d"}});
    form.reset();
    dialogs.shown.clear();
    restart();
  }
  void cleanup() {
    form.reset();
    drives.reset();
    dir.reset();
  }

  void theFirstStartHasEveryDefault() {
    QCOMPARE(edit("Ed_pathbase")->text(), QStringLiteral("c:\\voldepot\\"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Shelvo - current database: c:\\voldepot\\"));
    QCOMPARE(edit("Ed_search1")->text(), QStringLiteral("*.*"));
    QCOMPARE(edit("Ed_volumemask1")->text(), QStringLiteral("*"));
    for (const char* on : {"Che_archive", "Che_directory", "Che_containsdir", "Che_autoexpand", "Che_addstar"})
      QVERIFY2(box(on)->isChecked(), on);
    for (const char* off : {"Che_onlydirectory", "Che_onlytotal", "Che_reversesort", "Che_overwriteolddisk"})
      QVERIFY2(!box(off)->isChecked(), off);
    QVERIFY(!form->advanced_mode());
    QCOMPARE(form->pos(), QPoint(0, 0));
    // The design's client area, wide enough for the tree's lines, under the menu bar.
    QCOMPARE(form->size(), form->default_client_size() + QSize(0, form->menuBar()->sizeHint().height()));
    QVERIFY(form->default_client_size().width() >= TForm1::design_client_width);
    QCOMPARE(get<QComboBox>("Com_search1")->count(), 24);
    for (const QString& recent : form->recent_catalogs()) QVERIFY(recent.isEmpty());
    QVERIFY(form->startup_notice().isEmpty());
    QVERIFY(!QFile::exists(stored().fileName())); // reading creates nothing
  }

  void aRestartRestoresWhatWasWrittenAndOnlyThat() {
    form->AdvancedMode1Click();
    edit("Ed_search3")->setText(QStringLiteral("\\*.bak"));
    edit("Ed_volumemask2")->setText(QStringLiteral("DATA*"));
    edit("Ed_option")->setText(QStringLiteral("/t"));
    box("Che_onlytotal")->setChecked(true);
    box("Che_addstar")->setChecked(false);
    box("Che_onlydirectory")->setChecked(true);
    form->move(40, 30);
    form->resize(900, 500);
    restart();
    QVERIFY(form->advanced_mode());
    QCOMPARE(edit("Ed_search3")->text(), QStringLiteral("\\*.bak"));
    QCOMPARE(edit("Ed_search3")->palette().color(QPalette::Text), QColor(255, 0, 0)); // its rule ran
    QCOMPARE(edit("Ed_volumemask2")->text(), QStringLiteral("DATA*"));
    QCOMPARE(edit("Ed_option")->text(), QStringLiteral("/t"));
    QVERIFY(box("Che_onlytotal")->isChecked() && !box("Che_addstar")->isChecked() && box("Che_onlydirectory")->isChecked());
    QCOMPARE(form->pos(), QPoint(40, 30));
    QCOMPARE(form->size(), QSize(900, 500));

    // In simple mode the extra masks are neither written nor read; only-total
    // is written in both modes but read only in advanced mode.
    form->AdvancedMode1Click();
    edit("Ed_search3")->setText(QStringLiteral("changed"));
    restart();
    QVERIFY(!form->advanced_mode());
    QCOMPARE(edit("Ed_search3")->text(), QString());
    QVERIFY(!box("Che_onlytotal")->isChecked());
    QCOMPARE(stored().value(QStringLiteral("RecentSearch3")).toString(), QStringLiteral("\\*.bak"));
    QCOMPARE(stored().value(QStringLiteral("onlytotal")).toInt(), 1);
  }

  void storedPlacesAreClampedAndAStrangeFlagMeansSimpleMode() {
    QCOMPARE(TForm1::clamped_place(0, 600), QPoint(0, 480));
    QCOMPARE(TForm1::clamped_place(-400, 0), QPoint(0, 0));
    QCOMPARE(TForm1::clamped_place(700, -200), QPoint(640, -200));
    QCOMPARE(TForm1::clamped_place(-300, -241), QPoint(-300, 0));
    // The outer size comes back outer: the frame is taken off once known.
    QCOMPARE(TForm1::inner_size_for(QSize(771, 428), QSize(8, 31)), QSize(763, 397));
    form.reset();
    {
      QSettings s = stored();
      s.setValue(QStringLiteral("flag_advanced_users"), 2);
      s.setValue(QStringLiteral("RecentSearch2"), QStringLiteral("unread"));
      s.setValue(QStringLiteral("top"), 600);
    }
    restart();
    QVERIFY(!form->advanced_mode());
    QCOMPARE(edit("Ed_search2")->text(), QString());
    QCOMPARE(form->pos().y(), 480);
    form->AdvancedMode1Click();
    QVERIFY(form->advanced_mode());
  }

  // A stored size below the window's minimum (a hand-edited file, or one kept
  // at a smaller scale) grows to it, and the window still lies whole on the screen.
  void aStoredSizeBelowTheMinimumStillOpensOnTheScreen() {
    form.reset();
    {
      QSettings s = stored();
      for (const char* key : {"top", "left", "width", "height"}) s.setValue(QString::fromLatin1(key), 10);
      s.setValue(QStringLiteral("left"), 640);
    }
    restart();
    QVERIFY(form->size().width() >= form->minimumWidth());
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(form->frameGeometry()));
  }

  void twentyFiveSearchesPushOutTheFirstAndRecallFillsTheControls() {
    edit("Ed_pathbase")->setText(QStringLiteral("C:\\CAT\\"));
    box("Che_addstar")->setChecked(false);
    box("Che_archive")->setChecked(false);
    edit("Ed_volumemask1")->setText(QStringLiteral("A*"));
    search_for(QStringLiteral("first"));
    box("Che_archive")->setChecked(true);
    for (int k = 2; k <= 25; ++k) search_for(QStringLiteral("s%1").arg(k));
    auto* list = get<QComboBox>("Com_search1");
    QCOMPARE(list->count(), 24);
    QCOMPARE(list->itemText(0), QStringLiteral("s25"));
    QCOMPARE(list->itemText(23), QStringLiteral("s2"));
    QCOMPARE(edit("Ed_search1")->text(), QStringLiteral("s25")); // inserting an item loaded nothing

    // A whole, long mask is remembered whole (a cut one would search otherwise).
    const QString long_mask = QStringLiteral("*a-mask-of-forty-characters-is-kept-whole*");
    edit("Ed_search2")->setText(QStringLiteral("kept in simple mode"));
    search_for(long_mask);
    edit("Ed_volumemask1")->setText(QStringLiteral("B*"));
    box("Che_archive")->setChecked(false);
    form->Com_search1Change(0);
    QCOMPARE(edit("Ed_search1")->text(), long_mask);
    QCOMPARE(edit("Ed_volumemask1")->text(), QStringLiteral("A*"));
    QVERIFY(box("Che_archive")->isChecked());
    QCOMPARE(edit("Ed_search2")->text(), QStringLiteral("kept in simple mode"));

    form->AdvancedMode1Click(); // advanced: all six masks come back
    form->Com_search1Change(0);
    QCOMPARE(edit("Ed_search2")->text(), QStringLiteral("kept in simple mode"));
    edit("Ed_search2")->setText(QString());
    form->Com_search1Change(0);
    QCOMPARE(edit("Ed_search2")->text(), QStringLiteral("kept in simple mode"));

    restart(); // and the table survives a restart
    QCOMPARE(get<QComboBox>("Com_search1")->itemText(0), long_mask);
    QCOMPARE(stored().value(QStringLiteral("lsts006")).toString(), QStringLiteral("s25"));
    QCOMPARE(stored().value(QStringLiteral("lsto006")).toInt(), 1); // archive of entry 1
  }

  void recentCatalogsMoveAsTheUserLeavesThem() {
    form.reset();
    {
      QSettings s = stored();
      s.setValue(QStringLiteral("D_1"), QStringLiteral("A\\"));
      s.setValue(QStringLiteral("D_2"), QStringLiteral("B\\"));
      s.setValue(QStringLiteral("path_voldepot"), QStringLiteral("P\\"));
    }
    restart();
    form->OpenRecentCatalog(1); // B
    QCOMPARE(edit("Ed_pathbase")->text(), QStringLiteral("B\\"));
    QCOMPARE(form->recent_catalogs(), (std::array<QString, 4>{"P\\", "A\\", "B\\", ""}));
    form->OpenRecentCatalog(0); // P: the list stays as it is
    QCOMPARE(edit("Ed_pathbase")->text(), QStringLiteral("P\\"));
    QCOMPARE(form->recent_catalogs(), (std::array<QString, 4>{"P\\", "A\\", "B\\", ""}));
    form->OpenRecentCatalog(3); // empty: the current catalog stays
    QCOMPARE(edit("Ed_pathbase")->text(), QStringLiteral("P\\"));
    QCOMPARE(get<QAction>("D_2")->text(), QStringLiteral("A\\"));
  }

  void chooseNewGivesDrivePathsAndRefusesWhatItCannotHold() {
    QString asked_directory;
    std::optional<QString> answer = QString::fromStdString(dir->path() + "/d/CAT/(filename will be ignored)");
    form->set_file_chooser([&](const QString& title, const QString& directory, const QString& name) {
      asked_directory = directory;
      if (title != QStringLiteral("Locating new database") || name.isEmpty()) return std::optional<QString>();
      return answer;
    });
    form->ChooseNewClick();
    QCOMPARE(edit("Ed_pathbase")->text(), QStringLiteral("D:\\CAT\\"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Shelvo - current database: D:\\CAT\\"));
    QCOMPARE(form->recent_catalogs()[0], QStringLiteral("c:\\voldepot\\"));
    QCOMPARE(asked_directory, QString::fromStdString(dir->path() + "/c/voldepot"));

    // Outside the drive table: the host path, ending with a separator.
    testing::make_directories(dir->path() + "/elsewhere/cat");
    answer = QString::fromStdString(dir->path() + "/elsewhere/cat/x");
    form->ChooseNewClick();
    QCOMPARE(edit("Ed_pathbase")->text(), QString::fromStdString(dir->path() + "/elsewhere/cat/"));
    QCOMPARE(asked_directory, QString::fromStdString(dir->path() + "/d/CAT/"));

    const std::string deep = dir->path() + "/d/" + std::string(60, 'x');
    testing::make_directories(deep);
    answer = QString::fromStdString(deep + "/file");
    form->ChooseNewClick();
    QCOMPARE(edit("Ed_pathbase")->text(), QString::fromStdString(dir->path() + "/elsewhere/cat/")); // unchanged
    QVERIFY(dialogs.shown.back().find("at most 60 characters") != std::string::npos);
    testing::make_directories(dir->path() + "/d/back\\slash");
    answer = QString::fromStdString(dir->path() + "/d/back\\slash/file");
    form->ChooseNewClick();
    QVERIFY(dialogs.shown.back().find("'\\'") != std::string::npos);

    answer.reset(); // cancelled: nothing changes
    form->ChooseNewClick();
    QCOMPARE(edit("Ed_pathbase")->text(), QString::fromStdString(dir->path() + "/elsewhere/cat/"));
  }

  void aCatalogChangeClearsTheListingAndTheFlags() {
    ArgumentVector vector{"", "/l:C:\\CAT\\", "D:", "/Y"};
    QCOMPARE(engine_main(4, vector, FrontEnd{}), 1);
    edit("Ed_pathbase")->setText(QStringLiteral("C:\\CAT\\"));
    form->Button2Click();
    form->BitBtnGoClick();
    QCOMPARE(form->volumes_listed_flag(), 1);
    QCOMPARE(form->result_model().rowCount(), 2);
    form->set_file_chooser([&](const QString&, const QString&, const QString&) {
      return std::optional<QString>(QString::fromStdString(dir->path() + "/d/CAT/x"));
    });
    QCOMPARE(get<QLabel>("Lab_status")->text(), QStringLiteral("2 volume(s)"));
    form->ChooseNewClick();
    QCOMPARE(form->volumes_listed_flag(), 0);
    QCOMPARE(form->search_results_flag(), 0);
    QCOMPARE(form->result_model().rowCount(), 0);
    QCOMPARE(get<QLabel>("Lab_status")->text(), QStringLiteral("(none)")); // nor the old catalog's counts
  }

  void settingsThatCannotBeUsedAreToldOnceAndDefaultsRun() {
    form.reset();
    {
      QSettings s = stored();
      s.setValue(QStringLiteral("archive"), QStringLiteral("yes please"));
      s.setValue(QStringLiteral("RecentSearch1"), QString(1000, QLatin1Char('a')));
      s.setValue(QStringLiteral("path_voldepot"), QStringLiteral("C:\\") + QString(58, QLatin1Char('x')));
    }
    restart();
    QVERIFY(box("Che_archive")->isChecked());
    QCOMPARE(edit("Ed_search1")->text(), QStringLiteral("*.*"));
    QCOMPARE(edit("Ed_pathbase")->text(), QStringLiteral("c:\\voldepot\\"));
    form->show();
    QTRY_COMPARE(dialogs.shown.size(), std::size_t{1});
    for (const char* named : {"archive", "RecentSearch1", "longer than 60"})
      QVERIFY2(dialogs.shown[0].find(named) != std::string::npos, named);
    form->hide();
    form->show();
    QTest::qWait(20);
    QCOMPARE(dialogs.shown.size(), std::size_t{1}); // once

    // A settings file that cannot be written (a directory stands in its way,
    // which stops root too): said at start, and again when the window closes;
    // the window itself runs as usual.
    form.reset();
    const QString file = stored().fileName();
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    dialogs.shown.clear();
    restart();
    QVERIFY(form->startup_notice().contains(QStringLiteral("cannot be written")));
    QCOMPARE(edit("Ed_search1")->text(), QStringLiteral("*.*"));
    form->close();
    QCOMPARE(dialogs.shown.size(), std::size_t{1});
    QVERIFY(dialogs.shown[0].find("could not be kept") != std::string::npos);
    QDir(file).removeRecursively();
  }
};

SHELVO_WINDOW_TEST_MAIN(SettingsTest)

#include "settings_test.moc"
