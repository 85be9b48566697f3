#include "window/volume_mask_box.h"

#include <QGroupBox>
#include <QLineEdit>

#include "window/colours.h"
#include "window/controls.h"
#include "window/design.h"

namespace shelvo {

void MarkExclusionMask(QLineEdit* edit) {
  set_text_colour(edit, edit->text().startsWith(QLatin1Char('\\')) ? exclusion_red : QColor(Qt::black));
}

VolumeMaskBox::VolumeMaskBox(QWidget* form) {
  GroupBoxVolumeMask =
      place(new DesignGroupBox(QStringLiteral(" VolumeMask "), form), "GroupBoxVolumeMask", 156, 100, 329, 49);
  QWidget* box = GroupBoxVolumeMask;
  Lab_help4 = help_label(box, "Lab_help4", "Enter mask to restrain search to certain volumes", 88, 10, 233, 17);
  Lab_help5 = help_label(box, "Lab_help5", "(Warning: CaSe SeNsItIvE)", 88, 26, 225, 17);
  Ed_volumemask[0] = place(new QLineEdit(QStringLiteral("*"), box), "Ed_volumemask1", 8, 16, 73, 21);
  Ed_volumemask[1] = place(new QLineEdit(box), "Ed_volumemask2", 88, 16, 73, 21);
  Ed_volumemask[2] = place(new QLineEdit(box), "Ed_volumemask3", 168, 16, 73, 21);
  Ed_volumemask[3] = place(new QLineEdit(box), "Ed_volumemask4", 248, 16, 73, 21);
  // The rule runs whenever the text changes, also when the program sets it (a
  // recalled search, the settings).
  for (QLineEdit* edit : Ed_volumemask)
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { MarkExclusionMask(edit); });
}

void VolumeMaskBox::show_at(int top) {
  GroupBoxVolumeMask->move(GroupBoxVolumeMask->x(), top);
  GroupBoxVolumeMask->show();
  GroupBoxVolumeMask->raise();
}

void VolumeMaskBox::hide() { GroupBoxVolumeMask->hide(); }

void VolumeMaskBox::apply_advanced(bool on) {
  for (std::size_t k = 1; k < Ed_volumemask.size(); ++k) Ed_volumemask[k]->setVisible(on);
  Lab_help4->setVisible(!on);
  Lab_help5->setVisible(!on);
}

std::array<std::string, 4> VolumeMaskBox::masks() const {
  std::array<std::string, 4> out;
  for (std::size_t k = 0; k < out.size(); ++k) out[k] = Ed_volumemask[k]->text().toStdString();
  return out;
}

} // namespace shelvo
