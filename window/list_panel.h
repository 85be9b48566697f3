// List volumes mode's group box, GroupBoxVolume: an empty frame in which the
// volume masks are shown. With them and the only-total option it produces the
// ListControls of a run.
#pragma once

#include <string>

#include "engine/command_vectors.h"

class QGroupBox;
class QWidget;

namespace shelvo {

class ModeColumn;
class VolumeMaskBox;

class ListPanel {
public:
  ListPanel(QWidget* form, ModeColumn& column, VolumeMaskBox& volume_masks);

  void show();
  void hide();
  bool shown() const;
  // The top of the frame, which the volume masks are placed from.
  int top() const;

  ListControls controls(const std::string& catalog_path) const;
  QWidget* first_field() const;

private:
  ModeColumn& column_;
  VolumeMaskBox& volume_masks_;
  QGroupBox* GroupBoxVolume = nullptr;
};

} // namespace shelvo
