#include "window/design.h"

#include "window/colours.h"

namespace shelvo {

QLabel* help_label(QWidget* parent, const char* name, const char* text, int left, int top, int width, int height,
                   bool wrap) {
  auto* label = place(new QLabel(QString::fromUtf8(text), parent), name, left, top, width, height);
  set_text_colour(label, help_blue);
  label->setAutoFillBackground(true);
  label->setWordWrap(wrap);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QFont terminal_font(int pixel_size) {
  QFont font(QStringLiteral("Liberation Mono"));
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(pixel_size);
  return font;
}

} // namespace shelvo
