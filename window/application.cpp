#include "window/application.h"

#include <QMessageBox>

#include <exception>

namespace shelvo {

ShelvoApplication::ShelvoApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Shelvo"));
  setOrganizationName(QStringLiteral("Brenwick"));
  setApplicationVersion(QStringLiteral(SHELVO_VERSION));
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

} // namespace shelvo
