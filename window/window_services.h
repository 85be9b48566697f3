// The window's side of the core's front-end interfaces: the status line and
// progress bar, message boxes, and the desktop's programs.
#pragma once

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "platform/launcher.h"
#include "results/dialog_service.h"
#include "results/status_view.h"

namespace shelvo {

// Lab_status and ProgressBar1. Every refresh processes the pending events:
// that is how Stop, repainting and moving the window work during a run.
class WindowStatusView final : public StatusView {
public:
  WindowStatusView(QLabel* status, QProgressBar* progress) : status_(status), progress_(progress) {}
  void set_status_caption(std::string_view text) override;
  void set_progress_position(int position) override;
  // A maximum of 0 (no search yet) would make Qt's bar an endless busy one.
  void set_progress_maximum(int maximum) override;
  void process_pending_events() override { QCoreApplication::processEvents(); }

private:
  QLabel* status_;
  QProgressBar* progress_;
};

// Application-modal message boxes; texts are UTF-8.
class WindowDialogs final : public DialogService {
public:
  explicit WindowDialogs(QWidget* parent) : parent_(parent) {}
  DialogAnswer show_message(std::string_view text, std::string_view caption, DialogButtons buttons,
                            DialogIcon icon) override;

private:
  QWidget* parent_;
};

// The desktop's programs, through its own opener: a path is one argument. The
// opener is started and watched, never waited for (it may run the program it
// picks until that program ends); when it ends in failure (xdg-open without a
// program for the file, or without a terminal for one that needs it), on_failure
// is told the path and the opener's exit status.
class DesktopLauncher final : public Launcher {
public:
  DesktopLauncher();
  ~DesktopLauncher() override;
  DesktopLauncher(const DesktopLauncher&) = delete;
  DesktopLauncher& operator=(const DesktopLauncher&) = delete;
  bool open_text_file(const std::string& host_path) override;
  bool open_with_desktop(const std::string& host_path) override;
  std::function<void(const std::string& host_path, int status)> on_failure;

private:
  bool open(const std::string& host_path);
  void reap();
  struct Opener {
    long pid;
    std::string path;
  };
  std::vector<Opener> openers_;
  QTimer* watch_ = nullptr;
};

} // namespace shelvo
