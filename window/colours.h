// The window's colours, and how a control takes one: the design's fixed
// colours, whatever the desktop's palette.
#pragma once

#include <QColor>

class QWidget;

namespace shelvo {

inline const QColor help_blue(0, 0, 255);
inline const QColor marker_blue(0, 0, 255);
inline const QColor marker_navy(0, 0, 128);
inline const QColor exclusion_red(255, 0, 0);
inline const QColor only_grey(128, 128, 128);
inline const QColor only_total_silver(192, 192, 192);

// The colour of a control's text, whichever role draws it (label, edit, button).
void set_text_colour(QWidget* widget, const QColor& colour);
// The colour a control fills its background with.
void set_background(QWidget* widget, const QColor& colour);

} // namespace shelvo
