// The window's left column: the three mode buttons with the marker behind the
// current one and the track bar that shows its number, the help text of each
// mode, and the options kept there (only-total, and the hidden option word).
#pragma once

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QWidget;

namespace shelvo {

class ClickableLabel;

// The function modes, numbered as the track bar shows them.
enum class Mode { add = 1, search = 2, list = 3 };

class ModeColumn {
public:
  explicit ModeColumn(QWidget* form);

  // The help text of the mode in front, the track bar and the marker on its button.
  void show_mode(Mode mode);
  void apply_advanced(bool on);
  // The mode buttons, off while a run must not be disturbed.
  void set_buttons_enabled(bool enabled);

  QPushButton* button(Mode mode) const;
  QCheckBox* only_total() const { return Che_onlytotal; }
  QLineEdit* option() const { return Ed_option; }
  std::string option_text() const;

  // A click on a mode button; a click on "Print only number..." (the label).
  std::function<void(Mode)> on_mode_clicked;
  std::function<void()> on_only_total_label_clicked;

private:
  QSlider* TrackBarFonction = nullptr;
  QFrame* Pan_sousbouton = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button2 = nullptr;
  QLabel* Lab_help8 = nullptr;
  QLabel* Lab_help9 = nullptr;
  QLabel* Lab_help10 = nullptr;
  QLabel* Lab_option = nullptr;
  QLineEdit* Ed_option = nullptr;
  ClickableLabel* Lab_onlytotal = nullptr;
  QCheckBox* Che_onlytotal = nullptr;
};

} // namespace shelvo
