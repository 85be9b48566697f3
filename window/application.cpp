#include "window/application.h"

#include <QDir>
#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace shelvo {

ShelvoApplication::ShelvoApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Shelvo"));
  setOrganizationName(QStringLiteral("Brenwick"));
  setApplicationVersion(QStringLiteral(SHELVO_VERSION));
  // The desktop entry's name, which a Wayland compositor matches the window to.
  setDesktopFileName(QStringLiteral(SHELVO_APP_ID));
  setWindowIcon(application_icon());
}

QIcon application_icon() {
  QIcon icon;
  // One folder per size, "16x16/shelvo.png" and up, as the icon theme has them.
  const QDir sizes(QStringLiteral(":/icons"));
  for (const QString& size : sizes.entryList(QDir::Dirs, QDir::Name))
    icon.addFile(sizes.filePath(size + QStringLiteral("/shelvo.png")));
  return icon;
}

bool ShelvoApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Shelvo"), QString::fromLocal8Bit(error.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("Shelvo"), QStringLiteral("An unexpected error occurred."));
  }
  return false;
}

void report_startup_error(const QString& message) {
  std::fprintf(stderr, "shelvo: %s\n", message.toLocal8Bit().constData());
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Shelvo"), QStringLiteral("Shelvo cannot start:\n\n") + message,
                  QMessageBox::Ok);
  box.setObjectName(QStringLiteral("StartupError"));
  box.exec();
}

} // namespace shelvo
