// How the window's controls are made as the design has them: named by their
// role, placed in pixels at 96 dots per inch, the blue help texts, and the
// fixed-pitch font of the tree and the status line. Every part of the window
// builds its controls through these, so no name or place is spelled twice.
#pragma once

#include <QFont>
#include <QLabel>
#include <QString>

namespace shelvo {

// Names a control (its objectName, which settings, tests and accessibility
// tools find it by) and places it at left, top, width x height in its parent.
template <class Widget> Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

// A blue help text, opaque so that the one brought to the front hides those
// that share its place.
QLabel* help_label(QWidget* parent, const char* name, const char* text, int left, int top, int width, int height,
                   bool wrap = false);

// The stand-in for "Terminal", the fixed-pitch font of the tree and the status
// line, at a height in pixels.
QFont terminal_font(int pixel_size);

} // namespace shelvo
