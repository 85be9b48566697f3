#include "window/controls.h"

#include <QMouseEvent>
#include <QPainter>

#include <cctype>
#include <optional>

#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "window/screen_text.h"

namespace shelvo {

namespace {

// Whether a drive's directory could be read when the list was made.
constexpr int readable_role = Qt::UserRole + 1;

} // namespace

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

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
  refresh();
  connect(this, &QComboBox::activated, this, [this] { chosen_by_user_ = true; });
}

void DriveComboBox::refresh() {
  const char keep = selected_letter();
  clear();
  for (const Drive& drive : drive_table().drives()) {
    std::string label;
    const bool readable = read_drive_label(drive.letter - 'A', label);
    QString text = QString(QChar(drive.letter)) + ":  ";
    text += readable ? to_screen(label) : QStringLiteral("(missing or not readable)");
    addItem(text, QChar(drive.letter));
    setItemData(count() - 1, readable, readable_role);
  }
  if (const int at = findData(QChar(keep)); keep != 0 && at >= 0) setCurrentIndex(at);
}

char DriveComboBox::selected_letter() const {
  const QVariant letter = currentData();
  return letter.isValid() ? static_cast<char>(letter.toChar().toLatin1()) : 0;
}

void DriveComboBox::select_letter(char letter) {
  if (letter == 0) return;
  const int at = findData(QChar(letter));
  if (at < 0) return;
  setCurrentIndex(at);
  chosen_by_user_ = true;
}

void DriveComboBox::preselect_for(const std::string& catalog_path) {
  const auto first = static_cast<unsigned char>(catalog_path.empty() ? 0 : catalog_path[0]);
  const bool lettered = catalog_path.size() >= 2 && catalog_path[1] == ':' && std::isalpha(first);
  const char catalog_letter = lettered ? static_cast<char>(std::toupper(first)) : 'C';
  const char current = selected_letter();
  if (chosen_by_user_ && current != 0 && current != catalog_letter) return;
  const std::optional<std::string> catalog = resolve_dos_path(catalog_path);
  int other = -1;
  for (int at = 0; at < count(); ++at) {
    const char letter = itemData(at).toChar().toLatin1();
    if (letter == catalog_letter || !itemData(at, readable_role).toBool()) continue;
    if (!catalog || !lies_in_drive_volume(*catalog, letter)) {
      setCurrentIndex(at);
      return;
    }
    if (other < 0) other = at;
  }
  if (other >= 0) setCurrentIndex(other);
}

void DriveComboBox::showPopup() {
  refresh();
  QComboBox::showPopup();
}

} // namespace shelvo
