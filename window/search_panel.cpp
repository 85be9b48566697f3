#include "window/search_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>

#include "window/colours.h"
#include "window/controls.h"
#include "window/design.h"
#include "window/mode_column.h"
#include "window/volume_mask_box.h"

namespace shelvo {

SearchPanel::SearchPanel(QWidget* form, ModeColumn& column, VolumeMaskBox& volume_masks)
    : column_(column), volume_masks_(volume_masks) {
  GroupBoxRecherche =
      place(new DesignGroupBox(QStringLiteral(" Search "), form), "GroupBoxRecherche", 144, 0, 537, 137);
  QWidget* box = GroupBoxRecherche;
  Lab_help1 = help_label(box, "Lab_help1", "Enter filemask to look for ('?': any one letter; '*': many letters)", 166,
                         8, 323, 17);
  Lab_help2 =
      help_label(box, "Lab_help2", "eg: 'docu*' will display all file beginning by 'docu'...", 166, 24, 323, 17);
  Lab_help3 = help_label(box, "Lab_help3", "Then press Go! ---------------------------->", 166, 40, 323, 17);
  // A drop-down list that takes no typed text and no focus: its text part lies
  // under Ed_search1, where nothing typed would be seen, and a key pressed on
  // it would load an older search over the masks. The keyboard drops it down
  // from Ed_search1 (Alt+Down, F4), where what is picked shows at once.
  Com_search1 = place(new QComboBox(box), "Com_search1", 16, 24, 145, 21);
  Com_search1->setMaxVisibleItems(32);
  Com_search1->setFocusPolicy(Qt::NoFocus);
  Che_directory =
      place(new QCheckBox(QStringLiteral("Search directory name"), box), "Che_directory", 348, 94, 142, 17);
  Che_directory->setChecked(true);
  Che_archive = place(new QCheckBox(QStringLiteral("Search in archives"), box), "Che_archive", 348, 78, 113, 17);
  Che_archive->setChecked(true);
  const QString hint = QStringLiteral("'?': any one letter; '*': many letter; '\\string': whithout 'string'");
  // In the design's order, so that Ed_search1 lies over the text part of Com_search1.
  Ed_search[0] = place(new QLineEdit(QStringLiteral("*.*"), box), "Ed_search1", 16, 24, 127, 21);
  Ed_search[3] = place(new QLineEdit(box), "Ed_search4", 16, 48, 145, 21);
  Ed_search[5] = place(new QLineEdit(box), "Ed_search6", 320, 48, 145, 21);
  Ed_search[1] = place(new QLineEdit(box), "Ed_search2", 168, 24, 145, 21);
  Ed_search[1]->setToolTip(hint);
  Ed_search[4] = place(new QLineEdit(box), "Ed_search5", 168, 48, 145, 21);
  Ed_search[2] = place(new QLineEdit(box), "Ed_search3", 320, 24, 145, 21);
  Ed_search[2]->setToolTip(hint);
  Che_containsdir =
      place(new QCheckBox(QStringLiteral("...and list content"), box), "Che_containsdir", 348, 110, 165, 17);
  Che_containsdir->setChecked(true);
  Che_onlydirectory = place(new QCheckBox(QStringLiteral("only"), box), "Che_onlydirectory", 474, 94, 41, 16);
  Che_onlydirectory->setLayoutDirection(Qt::RightToLeft); // the caption left of the box
  set_text_colour(Che_onlydirectory, only_grey);
  Che_addstar = place(new QCheckBox(QStringLiteral("Add Stars"), box), "Che_addstar", 468, 26, 65, 17);

  // The rules run whenever a state or a text changes, also when the program
  // sets it (a recalled search, the settings), so that a state the program sets
  // obeys the same rules as one set by hand: toggled and textChanged, not
  // clicked and textEdited.
  QObject::connect(Che_containsdir, &QCheckBox::toggled, box, [this] { Che_containsdirClick(); });
  QObject::connect(Che_onlydirectory, &QCheckBox::toggled, box, [this] { Che_onlydirectoryClick(); });
  for (QLineEdit* edit : Ed_search)
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { MarkExclusionMask(edit); });
}

void SearchPanel::show() { GroupBoxRecherche->show(); }
void SearchPanel::hide() { GroupBoxRecherche->hide(); }
bool SearchPanel::shown() const { return !GroupBoxRecherche->isHidden(); }

void SearchPanel::apply_advanced(bool on) {
  for (std::size_t k = 1; k < Ed_search.size(); ++k) Ed_search[k]->setVisible(on);
  Che_addstar->setVisible(on);
  Che_onlydirectory->setVisible(on);
  for (QLabel* help : {Lab_help1, Lab_help2, Lab_help3}) help->setVisible(!on);
}

SearchControls SearchPanel::controls(const std::string& catalog_path) const {
  SearchControls controls;
  controls.catalog_path = catalog_path;
  for (std::size_t k = 0; k < Ed_search.size(); ++k) {
    const std::string text = Ed_search[k]->text().toStdString();
    controls.masks[k] = Che_addstar->isChecked() ? add_stars(text) : text;
  }
  controls.option = column_.option_text();
  controls.archive = Che_archive->isChecked();
  controls.directory = Che_directory->isChecked();
  controls.contains_dir = Che_containsdir->isChecked();
  controls.only_directory = Che_onlydirectory->isChecked();
  controls.only_total = column_.only_total()->isChecked();
  controls.volume_masks = volume_masks_.masks();
  return controls;
}

void SearchPanel::show_masks(const SearchControls& controls) {
  for (std::size_t k = 0; k < Ed_search.size(); ++k) Ed_search[k]->setText(QString::fromStdString(controls.masks[k]));
}

void SearchPanel::PushRecentSearch() {
  RecentSearch entry;
  for (std::size_t k = 0; k < Ed_search.size(); ++k) entry.masks[k] = Ed_search[k]->text();
  for (std::size_t k = 0; k < entry.volume_masks.size(); ++k) entry.volume_masks[k] = volume_masks_.edit(k)->text();
  entry.flags[flag_archive] = Che_archive->isChecked() ? 1 : 0;
  entry.flags[flag_directory] = Che_directory->isChecked() ? 1 : 0;
  entry.flags[flag_onlydirectory] = Che_onlydirectory->isChecked() ? 1 : 0;
  entry.flags[flag_containsdir] = Che_containsdir->isChecked() ? 1 : 0;
  entry.flags[flag_onlytotal] = column_.only_total()->isChecked() ? 1 : 0;
  entry.flags[flag_addstar] = Che_addstar->isChecked() ? 1 : 0;
  push_recent_search(recent_searches_, entry);
  Com_search1->insertItem(0, entry.masks[0]);
  while (Com_search1->count() > recent_search_count) Com_search1->removeItem(Com_search1->count() - 1);
}

void SearchPanel::Com_search1Change(int item, bool advanced_mode) {
  if (item < 0 || item >= recent_search_count) return;
  const RecentSearch entry = recent_searches_[static_cast<std::size_t>(item)];
  Ed_search[0]->setText(entry.masks[0]);
  if (advanced_mode)
    for (std::size_t k = 1; k < Ed_search.size(); ++k) Ed_search[k]->setText(entry.masks[k]);
  volume_masks_.edit(0)->setText(entry.volume_masks[0]);
  if (advanced_mode)
    for (std::size_t k = 1; k < entry.volume_masks.size(); ++k) volume_masks_.edit(k)->setText(entry.volume_masks[k]);
  Che_archive->setChecked(entry.flags[flag_archive] != 0);
  Che_directory->setChecked(entry.flags[flag_directory] != 0);
  Che_onlydirectory->setChecked(entry.flags[flag_onlydirectory] != 0);
  Che_containsdir->setChecked(entry.flags[flag_containsdir] != 0);
  column_.only_total()->setChecked(entry.flags[flag_onlytotal] != 0);
  Che_addstar->setChecked(entry.flags[flag_addstar] != 0);
}

void SearchPanel::show_recent_searches() {
  Com_search1->clear();
  for (const RecentSearch& entry : recent_searches_) Com_search1->addItem(entry.masks[0]);
}

void SearchPanel::open_recall_list() { Com_search1->showPopup(); }

QComboBox* SearchPanel::recall_list() const { return Com_search1; }

void SearchPanel::Che_containsdirClick() {
  if (Che_containsdir->isChecked()) Che_directory->setChecked(true);
}

void SearchPanel::Che_onlydirectoryClick() {
  if (Che_onlydirectory->isChecked()) {
    set_text_colour(Che_onlydirectory, Qt::black);
    Che_directory->setChecked(true);
  } else {
    set_text_colour(Che_onlydirectory, only_grey);
  }
}

} // namespace shelvo
