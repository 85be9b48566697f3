#include "window/application.h"

#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace shelvo {

ShelvoApplication::ShelvoApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Shelvo"));
  setOrganizationName(QStringLiteral("Brenwick"));
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
