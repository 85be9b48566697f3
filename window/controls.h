// Two small controls the window needs beyond Qt's own: a label that reacts to a
// click, and the drive selector over the drive table.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <functional>
#include <string>

namespace shelvo {

// A group box drawn as the design has it: its children are placed from its outer
// corner, so the frame runs half a caption down and the caption sits on it.
class DesignGroupBox final : public QGroupBox {
public:
  using QGroupBox::QGroupBox;

protected:
  void paintEvent(QPaintEvent* event) override;
};

// A label whose click runs a handler (Lab_onlytotal toggles its check box).
class ClickableLabel final : public QLabel {
public:
  using QLabel::QLabel;
  std::function<void()> on_click;

protected:
  void mousePressEvent(QMouseEvent* event) override;
};

// DriveComboBox1: the drives of the drive table, each as its letter and its
// label, as a user knows them. Read again each time the list drops down, so a
// stick plugged in meanwhile shows.
class DriveComboBox final : public QComboBox {
public:
  explicit DriveComboBox(QWidget* parent = nullptr);
  void refresh();
  // The letter of the selected drive ('A'..'Z'), or 0 when there is none.
  char selected_letter() const;
  // Selects a drive as the user's choice, which preselect_for then keeps.
  void select_letter(char letter);
  // Selects, unless the user chose a drive other than the catalog's own, the
  // first drive whose volume does not hold the catalog (a mounted volume, on
  // the table that is built), else the first drive other than the catalog's.
  void preselect_for(const std::string& catalog_path);

protected:
  void showPopup() override;

private:
  bool chosen_by_user_ = false;
};

} // namespace shelvo
