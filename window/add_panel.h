// Add drive mode's group box, GroupBoxNewDisk: the drive to add and whether a
// volume already in the catalog is kept; it produces the AddControls of a run.
#pragma once

#include <string>

#include "engine/command_vectors.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QWidget;

namespace shelvo {

class DriveComboBox;

class AddPanel {
public:
  explicit AddPanel(QWidget* form);

  // Shown for Add drive mode; off the drive that holds the catalog, and on a
  // mounted volume other than that drive when there is one.
  void show(const std::string& catalog_path);
  void hide();
  bool shown() const;
  void apply_advanced(bool on);

  // The run's controls; drive_text is empty when the drive table has no drive.
  AddControls controls(const std::string& catalog_path, bool advanced_mode) const;
  QCheckBox* overwrite_box() const { return Che_overwriteolddisk; }
  QWidget* first_field() const;

private:
  QGroupBox* GroupBoxNewDisk = nullptr;
  QLabel* Lab_help6 = nullptr;
  QLabel* Lab_help7 = nullptr;
  DriveComboBox* DriveComboBox1 = nullptr;
  QCheckBox* Che_overwriteolddisk = nullptr;
};

} // namespace shelvo
