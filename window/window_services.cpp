#include "window/window_services.h"

#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "window/screen_text.h"

namespace shelvo {

void WindowStatusView::set_status_caption(std::string_view text) {
  status_->setText(to_screen(text));
}

void WindowStatusView::set_progress_position(int position) {
  progress_->setValue(std::clamp(position, progress_->minimum(), progress_->maximum()));
}

void WindowStatusView::set_progress_maximum(int maximum) { progress_->setMaximum(std::max(maximum, 1)); }

DialogAnswer WindowDialogs::show_message(std::string_view text, std::string_view caption, DialogButtons buttons,
                                         DialogIcon icon) {
  QMessageBox box(parent_);
  box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
  // Plain text: a name with '<' in it is never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  switch (icon) {
  case DialogIcon::none: box.setIcon(QMessageBox::NoIcon); break;
  case DialogIcon::information: box.setIcon(QMessageBox::Information); break;
  case DialogIcon::warning: box.setIcon(QMessageBox::Warning); break;
  case DialogIcon::question: box.setIcon(QMessageBox::Question); break;
  case DialogIcon::error: box.setIcon(QMessageBox::Critical); break;
  }
  switch (buttons) {
  case DialogButtons::ok:
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return DialogAnswer::ok;
  case DialogButtons::yes_no:
  case DialogButtons::yes_no_default_no:
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(buttons == DialogButtons::yes_no ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? DialogAnswer::yes : DialogAnswer::no;
  }
  return DialogAnswer::no;
}

DesktopLauncher::DesktopLauncher() {
  watch_ = new QTimer();
  watch_->setInterval(200);
  QObject::connect(watch_, &QTimer::timeout, [this] { reap(); });
}

// Openers still running when the window goes keep running: they are not ours
// to end, and the program they started is the user's.
DesktopLauncher::~DesktopLauncher() { delete watch_; }

bool DesktopLauncher::open_text_file(const std::string& host_path) { return open(host_path); }

bool DesktopLauncher::open_with_desktop(const std::string& host_path) { return open(host_path); }

// The desktop's opener, xdg-open, with the path as its one argument. Without it,
// Qt's own services (a sandbox's portal, a desktop's own tool) are asked. False
// when nothing could be started.
bool DesktopLauncher::open(const std::string& host_path) {
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty())
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(host_path))));
  const QByteArray program = QFile::encodeName(opener);
  std::string path = host_path;
  char* argv[] = {const_cast<char*>(program.constData()), path.data(), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.constData(), nullptr, nullptr, argv, environ) != 0) return false;
  openers_.push_back({static_cast<long>(pid), host_path});
  if (!watch_->isActive()) watch_->start();
  return true;
}

void DesktopLauncher::reap() {
  for (auto it = openers_.begin(); it != openers_.end();) {
    int status = 0;
    const pid_t done = ::waitpid(static_cast<pid_t>(it->pid), &status, WNOHANG);
    if (done == 0) {
      ++it;
      continue;
    }
    const Opener ended = *it;
    it = openers_.erase(it);
    const int code = done < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (code != 0 && on_failure) on_failure(ended.path, code);
  }
  if (openers_.empty()) watch_->stop();
}

} // namespace shelvo
