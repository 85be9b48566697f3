#include "window/window_services.h"

#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

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

namespace {

// The desktop's opener, xdg-open, with the path as its one argument. Without it,
// Qt's own services (a sandbox's portal, a desktop's own tool) are asked. False
// when nothing could be started.
bool open_local(const std::string& host_path) {
  const QString path = QFile::decodeName(QByteArray::fromStdString(host_path));
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (!opener.isEmpty()) return QProcess::startDetached(opener, {path});
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace

bool DesktopLauncher::open_text_file(const std::string& host_path) { return open_local(host_path); }

bool DesktopLauncher::open_with_desktop(const std::string& host_path) { return open_local(host_path); }

} // namespace shelvo
