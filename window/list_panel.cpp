#include "window/list_panel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>

#include "window/controls.h"
#include "window/design.h"
#include "window/mode_column.h"
#include "window/volume_mask_box.h"

namespace shelvo {

ListPanel::ListPanel(QWidget* form, ModeColumn& column, VolumeMaskBox& volume_masks)
    : column_(column), volume_masks_(volume_masks) {
  GroupBoxVolume = place(new DesignGroupBox(QStringLiteral(" Volume "), form), "GroupBoxVolume", 144, 0, 361, 81);
}

void ListPanel::show() { GroupBoxVolume->show(); }
void ListPanel::hide() { GroupBoxVolume->hide(); }
bool ListPanel::shown() const { return !GroupBoxVolume->isHidden(); }
int ListPanel::top() const { return GroupBoxVolume->y(); }

QWidget* ListPanel::first_field() const { return volume_masks_.first_field(); }

ListControls ListPanel::controls(const std::string& catalog_path) const {
  ListControls controls;
  controls.catalog_path = catalog_path;
  controls.volume_masks = volume_masks_.masks();
  controls.only_total = column_.only_total()->isChecked();
  return controls;
}

} // namespace shelvo
