// GroupBoxVolumeMask: the four volume masks that restrict a search or a listing
// to some volumes. Search mode shows it below the search masks, List volumes
// mode inside the " Volume " frame.
#pragma once

#include <array>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace shelvo {

class VolumeMaskBox {
public:
  explicit VolumeMaskBox(QWidget* form);

  // Shown at its top for a mode's frame (76 below it in Search mode, 20 in List
  // volumes mode), or hidden.
  void show_at(int top);
  void hide();
  void apply_advanced(bool on);

  std::array<std::string, 4> masks() const; // the four texts, UTF-8
  QLineEdit* edit(std::size_t k) const { return Ed_volumemask[k]; }
  QLineEdit* first_field() const { return Ed_volumemask[0]; }

private:
  QGroupBox* GroupBoxVolumeMask = nullptr;
  QLabel* Lab_help4 = nullptr;
  QLabel* Lab_help5 = nullptr;
  std::array<QLineEdit*, 4> Ed_volumemask{};
};

// The text of an edit turns red when it begins with a backslash: an exclusion.
void MarkExclusionMask(QLineEdit* edit);

} // namespace shelvo
