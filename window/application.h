// The application object of the window. Qt does not carry an exception out of an
// event handler, so the last resort sits where every event passes: an escaped
// exception is shown in a message box, and the program goes on.
#pragma once

#include <QApplication>
#include <QIcon>

namespace shelvo {

class ShelvoApplication final : public QApplication {
public:
  ShelvoApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Shelvo's icon in every size the build rendered from its drawing, for the
// window's frame and the task bar. Empty when the build put no icon in.
QIcon application_icon();

// Ctrl-C in the terminal that started the window, a kill (SIGTERM) or the end of
// the session (SIGHUP) close window as its Quit does: a run under way stops at a
// whole state (an add leaves the catalog as it was), then the settings are saved.
void close_on_termination_signals(QWidget& window);

// An error that stops the window from starting: on standard error for whoever
// started it from a terminal, and in a box for whoever started it from a menu,
// who would otherwise see nothing at all.
void report_startup_error(const QString& message);

} // namespace shelvo
