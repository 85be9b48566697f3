// The window on a real display with a real window manager (openbox, started by
// with-window-manager): its size and place across restarts, and its fit on the
// screen. ctest runs it twice, at scale 1 and at QT_SCALE_FACTOR=2, where the
// design no longer fits the screen.
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <memory>

#include "support/test_support.h"
#include "window/main_window.h"
#include "window_test_support.h"

using namespace shelvo;

class WindowGeometryTest : public QObject {
  Q_OBJECT

  std::unique_ptr<testing::TempDir> dir;
  std::unique_ptr<testing::DriveMapping> drives;
  std::unique_ptr<TForm1> form;

  // A start as a person makes it: the settings are read, the window shows, the
  // window manager frames it and the stored geometry is applied in that frame.
  void start(bool maximized = false) {
    if (form) form->close(); // saves the settings, as quitting does
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    if (maximized) { // as a person sees it: across the screen
      QTRY_VERIFY(form->isMaximized() && form->frameGeometry().width() >= available().width() - 2);
      return;
    }
    QTRY_VERIFY(!form->geometry_pending());
    QVERIFY(form->frameGeometry() != form->geometry()); // a real frame
  }
  QRect available() const { return form->screen()->availableGeometry(); }
  QSize client() const { return form->findChild<QWidget*>(QStringLiteral("client"))->size(); }

private slots:
  void init() {
    QSettings settings(QStringLiteral("Brenwick"), QStringLiteral("Shelvo"));
    settings.clear();
    settings.sync();
    dir = std::make_unique<testing::TempDir>();
    testing::make_directories(dir->path() + "/c");
    drives = std::make_unique<testing::DriveMapping>(std::vector<std::pair<char, std::string>>{{'C', dir->path() + "/c"}});
  }
  void cleanup() {
    form.reset();
    drives.reset();
    dir.reset();
  }

  void restartsKeepTheFirstStartsGeometry() {
    start();
    const QRect first = form->frameGeometry();
    const bool fitted = first.width() == available().width() || first.height() == available().height();
    if (!fitted) QCOMPARE(client(), form->default_client_size()); // the design's, on a screen with room for it
    for (int restart = 1; restart <= 4; ++restart) {
      start();
      QCOMPARE(form->frameGeometry(), first);
    }
  }

  void aMovedAndResizedWindowComesBackWhereItWas() {
    start();
    const QRect wanted = TForm1::fitted_to(QRect(available().topLeft() + QPoint(40, 30), form->frameGeometry().size() + QSize(24, 16)),
                                           available());
    form->move(wanted.topLeft());
    form->resize(wanted.size() - (form->frameGeometry().size() - form->size()));
    QTRY_COMPARE(form->frameGeometry(), wanted);
    for (int restart = 1; restart <= 2; ++restart) {
      start();
      QCOMPARE(form->frameGeometry(), wanted);
    }
  }

  // Closed maximized, started, restored: the window comes back to its normal
  // geometry exactly, cycle after cycle, never grown by its frame or moved.
  void aMaximizedCloseKeepsTheNormalGeometry() {
    start();
    const QRect wanted = TForm1::fitted_to(
        QRect(available().topLeft() + QPoint(60, 40), form->frameGeometry().size() + QSize(30, 20)), available());
    form->move(wanted.topLeft());
    form->resize(wanted.size() - (form->frameGeometry().size() - form->size()));
    QTRY_COMPARE(form->frameGeometry(), wanted);
    const QSize client_wanted = client();
    for (int cycle = 1; cycle <= 4; ++cycle) {
      form->showMaximized();
      QTRY_VERIFY(form->isMaximized());
      QTRY_VERIFY(form->frameGeometry().width() >= available().width() - 2);
      start(true);
      QVERIFY(form->isMaximized());
      form->showNormal();
      QTRY_VERIFY(!form->isMaximized());
      QTRY_COMPARE(form->frameGeometry(), wanted);
      QCOMPARE(client(), client_wanted);
    }
  }

  void theWindowFitsTheScreenWhateverWasStored() {
    start(); // the default geometry
    QVERIFY(available().contains(form->frameGeometry()));
    form->close();
    form.reset();
    {
      QSettings settings(QStringLiteral("Brenwick"), QStringLiteral("Shelvo"));
      settings.setValue(QStringLiteral("left"), 600);
      settings.setValue(QStringLiteral("top"), 400);
      settings.setValue(QStringLiteral("width"), 5000);
      settings.setValue(QStringLiteral("height"), 4000);
    }
    start();
    QVERIFY(available().contains(form->frameGeometry()));
    QCOMPARE(form->frameGeometry().size(), available().size());
    // On a screen too small for the design the client area scrolls: Go is never out of reach.
    QVERIFY(client().width() > form->findChild<QWidget*>(QStringLiteral("BitBtnGo"))->geometry().right());
  }
};

SHELVO_WINDOW_TEST_MAIN(WindowGeometryTest)

#include "window_geometry_test.moc"
