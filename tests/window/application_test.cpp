// What the window shows of the application itself: its icon, small and large,
// the build's version in the About box; and how it ends on a signal.
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <QFile>

#include <csignal>
#include <cstdlib>
#include <memory>

#include "support/test_support.h"
#include "window_test_support.h"
#include "window/application.h"
#include "window/main_window.h"

using namespace shelvo;

class ApplicationTest : public QObject {
  Q_OBJECT

private slots:
  void theIconIsDrawnSmallAndLarge() {
    const QIcon icon = application_icon();
    for (const int size : {16, 48, 256}) {
      QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
      // Drawn, not blank: the middle row of each size crosses the volumes.
      const QImage image = icon.pixmap(size).toImage();
      QCOMPARE(image.size(), QSize(size, size));
      int opaque = 0;
      for (int x = 0; x < size; ++x) opaque += qAlpha(image.pixel(x, size / 2)) == 255;
      QVERIFY(opaque > size / 4);
    }
  }

  void theAboutBoxShowsTheBuildsVersion() {
    testing::TempDir dir;
    testing::make_directories(dir.path() + "/c");
    testing::DriveMapping drives({{'C', dir.path() + "/c"}});
    TForm1 form;
    QString first_line;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      first_line = box->text().section(QLatin1Char('\n'), 0, 0);
      box->accept();
    });
    form.About1Click();
    QCOMPARE(first_line, QStringLiteral("Shelvo v" SHELVO_VERSION));
  }

  void aKillClosesTheWindowAsQuitDoesAndItsSettingsAreKept() {
    testing::TempDir dir;
    testing::make_directories(dir.path() + "/c");
    testing::DriveMapping drives({{'C', dir.path() + "/c"}});
    const QString settings = QString::fromStdString(std::getenv("XDG_CONFIG_HOME")) + "/Brenwick/Shelvo.conf";
    QFile::remove(settings);
    TForm1 form;
    form.show();
    close_on_termination_signals(form);
    for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
      form.show();
      QFile::remove(settings);
      std::raise(signal_number); // handled: the process goes on
      QTRY_VERIFY(!form.isVisible());
      QVERIFY(QFile::exists(settings)); // saved on the way out, as by Quit
    }
  }
};

SHELVO_WINDOW_TEST_MAIN(ApplicationTest)
#include "application_test.moc"
