#include "window/colours.h"

#include <QPalette>
#include <QWidget>

namespace shelvo {

void set_text_colour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget->setPalette(palette);
}

void set_background(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::Base, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

} // namespace shelvo
