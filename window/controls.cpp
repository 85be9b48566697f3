#include "window/controls.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/drive_table.h"
#include "window/screen_text.h"

namespace shelvo {

void DesignGroupBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics(font());
  const int line = metrics.height() / 2;
  // An etched frame: a dark line with a light one inside it.
  const QRect frame = rect().adjusted(0, line, -2, -2);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(frame);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(frame.translated(1, 1));
  const QString caption = title();
  if (caption.isEmpty()) return;
  const QRect text_box(8, 0, metrics.horizontalAdvance(caption) + 2, metrics.height());
  painter.fillRect(text_box, palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(text_box, Qt::AlignLeft | Qt::AlignVCenter, caption);
}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && on_click) on_click();
  QLabel::mousePressEvent(event);
}

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) { refresh(); }

void DriveComboBox::refresh() {
  const char keep = selected_letter();
  clear();
  for (const Drive& drive : drive_table().drives()) {
    std::string label;
    const bool readable = read_drive_label(drive.letter - 'A', label);
    QString text = QString(QChar(drive.letter)) + ":  ";
    text += readable ? to_screen(label) : QStringLiteral("(missing or not readable)");
    addItem(text, QChar(drive.letter));
  }
  select_letter(keep);
}

char DriveComboBox::selected_letter() const {
  const QVariant letter = currentData();
  return letter.isValid() ? static_cast<char>(letter.toChar().toLatin1()) : 0;
}

void DriveComboBox::select_letter(char letter) {
  if (letter == 0) return;
  const int at = findData(QChar(letter));
  if (at >= 0) setCurrentIndex(at);
}

void DriveComboBox::avoid_letter(char letter) {
  if (selected_letter() != letter) return;
  for (int at = 0; at < count(); ++at)
    if (itemData(at).toChar().toLatin1() != letter) {
      setCurrentIndex(at);
      return;
    }
}

void DriveComboBox::showPopup() {
  refresh();
  QComboBox::showPopup();
}

} // namespace shelvo
