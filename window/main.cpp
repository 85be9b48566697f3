// Shelvo's window. Options for reviewing it without a person at the screen:
//   --catalog DIR        the catalog to show (as Ed_pathbase holds it)
//   --search MASK        fill the first search mask and run Go once shown
//   --screenshot FILE    save the window as a PNG after that, then quit
#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "platform/drive_table.h"
#include "window/application.h"
#include "window/help_and_version.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Shelvo catalogues volumes and finds their files when they are "
                                                  "unplugged. See also shelvo-cli."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption catalog(QStringLiteral("catalog"), QStringLiteral("Catalog directory."), QStringLiteral("DIR"));
  const QCommandLineOption search(QStringLiteral("search"), QStringLiteral("Search for MASK once shown."),
                                  QStringLiteral("MASK"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("Save the window to FILE and quit."),
                                      QStringLiteral("FILE"));
  parser.addOptions({catalog, search, screenshot});
  if (const std::optional<int> status = shelvo::answer_before_display(parser, argc, argv)) return *status;

  shelvo::ShelvoApplication app(argc, argv);
  parser.process(app);

  std::string drive_error;
  if (!shelvo::load_drive_table(drive_error)) {
    shelvo::report_startup_error(QString::fromStdString(drive_error));
    return 64;
  }

  shelvo::TForm1 form;
  if (parser.isSet(catalog)) form.findChild<QLineEdit*>(QStringLiteral("Ed_pathbase"))->setText(parser.value(catalog));
  form.show();
  shelvo::close_on_termination_signals(form);
  if (parser.isSet(search)) {
    QTimer::singleShot(0, &form, [&] {
      form.findChild<QLineEdit*>(QStringLiteral("Ed_search1"))->setText(parser.value(search));
      form.BitBtnGoClick();
      form.Bou_expandallClick();
    });
  }
  if (parser.isSet(screenshot)) {
    QTimer::singleShot(500, &form, [&] {
      const bool saved = form.grab().save(parser.value(screenshot), "PNG");
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return QApplication::exec();
}
