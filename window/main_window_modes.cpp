// TForm1's function modes: Add drive, Search and List volumes with their group
// boxes, advanced mode, and the rules that tie the options together.
#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeView>

#include "window/colours.h"
#include "window/controls.h"

namespace shelvo {

void TForm1::switch_mode(int mode) {
  QLabel* help = mode == 1 ? Lab_help10 : mode == 2 ? Lab_help8 : Lab_help9;
  QPushButton* button = mode == 1 ? Button1 : mode == 2 ? Button3 : Button2;
  help->raise();
  GroupBoxNewDisk->setHidden(mode != 1);
  GroupBoxRecherche->setHidden(mode != 2);
  GroupBoxVolume->setHidden(mode != 3);
  if (mode == 2) {
    Bou_expandall->show();
    Bou_collapseall->show();
    if (advanced_mode()) Che_autoexpand->show();
  } else if (mode == 3) {
    Bou_expandall->hide();
    Bou_collapseall->hide();
    Che_autoexpand->hide();
  }
  if (mode == 1) {
    GroupBoxVolumeMask->hide();
  } else {
    GroupBoxVolumeMask->move(GroupBoxVolumeMask->x(), GroupBoxVolume->y() + (mode == 2 ? 76 : 20));
    GroupBoxVolumeMask->show();
    GroupBoxVolumeMask->raise();
  }
  TrackBarFonction->setValue(mode);
  Pan_sousbouton->move(Pan_sousbouton->x(), button->y() - 4);
}

void TForm1::Button1Click() {
  switch_mode(1);
  // The drive that holds the catalog cannot be added to it.
  const QString catalog = Ed_pathbase->text();
  const bool lettered = catalog.size() >= 2 && catalog[1] == u':' && catalog[0].isLetter();
  DriveComboBox1->avoid_letter(lettered ? static_cast<char>(catalog[0].toUpper().toLatin1()) : 'C');
}

void TForm1::Button3Click(bool by_user) {
  if (!GroupBoxRecherche->isHidden() && by_user) BitBtnGoClick();
  switch_mode(2);
  if (by_user) Ed_search[0]->setFocus();
}

void TForm1::Button2Click() {
  if (!GroupBoxVolume->isHidden()) BitBtnGoClick();
  switch_mode(3);
  QCoreApplication::processEvents();
  Ed_volumemask[0]->setFocus();
}

void TForm1::AdvancedMode1Click() {
  advanced_mode_ = advanced_mode_ == 1 ? 0 : 1;
  ApplyAdvancedMode();
}

void TForm1::ApplyAdvancedMode() {
  const bool on = advanced_mode();
  AdvancedMode1->setChecked(on);
  Che_onlytotal->setVisible(on);
  Lab_onlytotal->setVisible(on);
  for (std::size_t k = 1; k < Ed_search.size(); ++k) Ed_search[k]->setVisible(on);
  for (std::size_t k = 1; k < Ed_volumemask.size(); ++k) Ed_volumemask[k]->setVisible(on);
  Che_overwriteolddisk->setVisible(on);
  Che_addstar->setVisible(on);
  if (!on) Che_autoexpand->hide();
  else if (!GroupBoxRecherche->isHidden()) Che_autoexpand->show();
  Che_reversesort->setVisible(on);
  Che_onlydirectory->setVisible(on);
  if (!on) {
    Lab_option->hide();
    Ed_option->hide();
  }
  for (QLabel* help : {Lab_help1, Lab_help2, Lab_help3, Lab_help4, Lab_help5, Lab_help6, Lab_help7, Lab_help8,
                       Lab_help9, Lab_help10})
    help->setVisible(!on);
  set_background(Pan_sousbouton, on ? marker_navy : marker_blue);
  TrackBarFonction->setVisible(!on);
}

// --- Option rules -----------------------------------------------------------------

void TForm1::Che_containsdirClick() {
  if (Che_containsdir->isChecked()) Che_directory->setChecked(true);
}

void TForm1::Che_onlydirectoryClick() {
  if (Che_onlydirectory->isChecked()) {
    set_text_colour(Che_onlydirectory, Qt::black);
    Che_directory->setChecked(true);
  } else {
    set_text_colour(Che_onlydirectory, only_grey);
  }
}

void TForm1::Che_onlytotalClick() { ApplyOnlyTotal(); }

void TForm1::Lab_onlytotalClick() {
  Che_onlytotal->setChecked(!Che_onlytotal->isChecked()); // runs Che_onlytotalClick
  ApplyOnlyTotal();
}

void TForm1::ApplyOnlyTotal() {
  const QColor background = Che_onlytotal->isChecked() ? only_total_silver : QApplication::palette().color(QPalette::Base);
  QPalette palette = TreeView1->palette();
  palette.setColor(QPalette::Base, background);
  TreeView1->setPalette(palette);
  // During a run the tree belongs to the pass; the next run empties it anyway.
  if (!run_in_progress()) {
    TreeView1->hide();
    tree_.clear_result_tree();
    TreeView1->show();
  }
  set_background(Panel1, background);
}

void TForm1::MarkExclusionMask(QLineEdit* edit) {
  set_text_colour(edit, edit->text().startsWith(QLatin1Char('\\')) ? exclusion_red : QColor(Qt::black));
}

} // namespace shelvo
