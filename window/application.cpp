#include "window/application.h"

#include <QDir>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QWidget>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>

#include "results/run_state.h"

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

namespace {

// The signal handler's way into the event loop: one byte on a socket pair.
int signal_socket[2] = {-1, -1};

void on_termination_signal(int) {
  stop_flag = 1; // a pass under way stops at its next check, before the event loop runs
  const char byte = 1;
  (void)!::write(signal_socket[0], &byte, 1);
}

} // namespace

void close_on_termination_signals(QWidget& window) {
  if (signal_socket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signal_socket) != 0) return;
  auto* notifier = new QSocketNotifier(signal_socket[1], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte = 0;
    (void)!::read(signal_socket[1], &byte, 1);
    window.close();
  });
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    ::sigaction(signal_number, nullptr, &current);
    if (current.sa_handler == SIG_IGN) continue; // started with it ignored: kept so
    struct sigaction action {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal_number, &action, nullptr);
  }
}

void report_startup_error(const QString& message) {
  std::fprintf(stderr, "shelvo: %s\n", message.toLocal8Bit().constData());
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Shelvo"), QStringLiteral("Shelvo cannot start:\n\n") + message,
                  QMessageBox::Ok);
  box.setObjectName(QStringLiteral("StartupError"));
  box.exec();
}

} // namespace shelvo
