#include "window/add_panel.h"

#include <QCheckBox>
#include <QGroupBox>

#include "window/controls.h"
#include "window/design.h"

namespace shelvo {

AddPanel::AddPanel(QWidget* form) {
  GroupBoxNewDisk = place(new DesignGroupBox(QStringLiteral("Add Drive "), form), "GroupBoxNewDisk", 144, 0, 425, 65);
  QWidget* box = GroupBoxNewDisk;
  Lab_help6 = help_label(box, "Lab_help6", "Chose a Drive to  Add to the Base", 184, 19, 185, 17);
  Lab_help7 = help_label(box, "Lab_help7", "Then press Go! ---------------------------->", 184, 35, 195, 17);
  DriveComboBox1 = place(new DriveComboBox(box), "DriveComboBox1", 16, 24, 161, 19);
  Che_overwriteolddisk = place(new QCheckBox(QStringLiteral("Don't overwrite disk if already in the base"), box),
                               "Che_overwriteolddisk", 192, 26, 225, 17);
}

void AddPanel::show(const std::string& catalog_path) {
  GroupBoxNewDisk->show();
  DriveComboBox1->preselect_for(catalog_path);
}

void AddPanel::hide() { GroupBoxNewDisk->hide(); }

bool AddPanel::shown() const { return !GroupBoxNewDisk->isHidden(); }

void AddPanel::apply_advanced(bool on) {
  Che_overwriteolddisk->setVisible(on);
  Lab_help6->setVisible(!on);
  Lab_help7->setVisible(!on);
}

AddControls AddPanel::controls(const std::string& catalog_path, bool advanced_mode) const {
  const char letter = DriveComboBox1->selected_letter();
  AddControls controls;
  controls.catalog_path = catalog_path;
  controls.drive_text = letter ? std::string(1, letter) + ":" : std::string();
  controls.overwrite = !Che_overwriteolddisk->isChecked();
  controls.advanced_mode = advanced_mode;
  return controls;
}

QWidget* AddPanel::first_field() const { return DriveComboBox1; }

} // namespace shelvo
