#include "window/mode_column.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>

#include "window/colours.h"
#include "window/controls.h"
#include "window/design.h"

namespace shelvo {

namespace {

// A mode button whose focus shows on the marker's colours too: the style's own
// focus frame is blue, and the navy or blue marker around the button hid it.
class ModeButton final : public QPushButton {
public:
  using QPushButton::QPushButton;

protected:
  void paintEvent(QPaintEvent* event) override {
    QPushButton::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    QPen pen(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(3, 3, -4, -4));
  }
};

} // namespace

ModeColumn::ModeColumn(QWidget* form) {
  // Where controls overlap, the later one lies on top.
  TrackBarFonction = place(new QSlider(Qt::Vertical, form), "TrackBarFonction", 0, 10, 17, 81);
  TrackBarFonction->setRange(1, 3);
  TrackBarFonction->setInvertedAppearance(true); // 1, the top button, at the top
  TrackBarFonction->setValue(2);
  TrackBarFonction->setTickPosition(QSlider::NoTicks);
  TrackBarFonction->setEnabled(false);
  Pan_sousbouton = place(new QFrame(form), "Pan_sousbouton", 12, 32, 120, 33);
  Pan_sousbouton->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  set_background(Pan_sousbouton, marker_blue);
  Button1 = place(new ModeButton(QStringLiteral("&Add Drive to the Base"), form), "Button1", 16, 8, 113, 25);
  Button3 = place(new ModeButton(QStringLiteral("&Search"), form), "Button3", 16, 36, 113, 25);
  Button2 = place(new ModeButton(QStringLiteral("&List Volumes in Base"), form), "Button2", 16, 64, 113, 25);
  Lab_help8 = help_label(form, "Lab_help8", "Right Click on a directory to access it.", 16, 102, 113, 39, true);
  Lab_help9 = help_label(form, "Lab_help9", "Right Click on a volume to delete it.", 16, 102, 113, 39, true);
  Lab_help10 = help_label(form, "Lab_help10", "  ", 16, 102, 113, 39, true);
  Lab_option = place(new QLabel(QStringLiteral("Adv. option:"), form), "Lab_option", 8, 108, 57, 13);
  Lab_option->hide();
  Ed_option = place(new QLineEdit(form), "Ed_option", 72, 104, 57, 21);
  Ed_option->hide();
  Lab_onlytotal = place(new ClickableLabel(QStringLiteral("Print only number of files and dir found"), form),
                        "Lab_onlytotal", 36, 105, 105, 25);
  Lab_onlytotal->setWordWrap(true);
  Lab_onlytotal->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Che_onlytotal = place(new QCheckBox(form), "Che_onlytotal", 16, 108, 21, 17);
  Lab_onlytotal->setBuddy(Che_onlytotal);

  QObject::connect(Button1, &QPushButton::clicked, form, [this] { if (on_mode_clicked) on_mode_clicked(Mode::add); });
  QObject::connect(Button3, &QPushButton::clicked, form,
                   [this] { if (on_mode_clicked) on_mode_clicked(Mode::search); });
  QObject::connect(Button2, &QPushButton::clicked, form, [this] { if (on_mode_clicked) on_mode_clicked(Mode::list); });
  Lab_onlytotal->on_click = [this] {
    if (on_only_total_label_clicked) on_only_total_label_clicked();
  };
}

QPushButton* ModeColumn::button(Mode mode) const {
  switch (mode) {
  case Mode::add: return Button1;
  case Mode::search: return Button3;
  case Mode::list: return Button2;
  }
  return Button3;
}

void ModeColumn::show_mode(Mode mode) {
  switch (mode) {
  case Mode::add: Lab_help10->raise(); break;
  case Mode::search: Lab_help8->raise(); break;
  case Mode::list: Lab_help9->raise(); break;
  }
  TrackBarFonction->setValue(static_cast<int>(mode));
  Pan_sousbouton->move(Pan_sousbouton->x(), button(mode)->y() - 4);
}

void ModeColumn::apply_advanced(bool on) {
  Che_onlytotal->setVisible(on);
  Lab_onlytotal->setVisible(on);
  if (!on) {
    Lab_option->hide();
    Ed_option->hide();
  }
  for (QLabel* help : {Lab_help8, Lab_help9, Lab_help10}) help->setVisible(!on);
  set_background(Pan_sousbouton, on ? marker_navy : marker_blue);
  TrackBarFonction->setVisible(!on);
}

void ModeColumn::set_buttons_enabled(bool enabled) {
  for (QPushButton* b : {Button1, Button3, Button2}) b->setEnabled(enabled);
}

std::string ModeColumn::option_text() const { return Ed_option->text().toStdString(); }

} // namespace shelvo
