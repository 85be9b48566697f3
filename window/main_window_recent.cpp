// TForm1's recent lists: the last searches, recalled from Com_search1, and the
// last catalogs, opened from the Database menu.
#include "window/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace shelvo {

namespace {

// The menu shows '&' as an accelerator mark; a catalog path shows it as it is.
QString menu_text(const QString& text) {
  QString out = text;
  return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

void TForm1::PushRecentSearch() {
  RecentSearch entry;
  for (std::size_t k = 0; k < Ed_search.size(); ++k) entry.masks[k] = Ed_search[k]->text();
  for (std::size_t k = 0; k < Ed_volumemask.size(); ++k) entry.volume_masks[k] = Ed_volumemask[k]->text();
  entry.flags[flag_archive] = Che_archive->isChecked() ? 1 : 0;
  entry.flags[flag_directory] = Che_directory->isChecked() ? 1 : 0;
  entry.flags[flag_onlydirectory] = Che_onlydirectory->isChecked() ? 1 : 0;
  entry.flags[flag_containsdir] = Che_containsdir->isChecked() ? 1 : 0;
  entry.flags[flag_onlytotal] = Che_onlytotal->isChecked() ? 1 : 0;
  entry.flags[flag_addstar] = Che_addstar->isChecked() ? 1 : 0;
  push_recent_search(recent_searches_, entry);
  Com_search1->insertItem(0, entry.masks[0]);
  while (Com_search1->count() > recent_search_count) Com_search1->removeItem(Com_search1->count() - 1);
}

void TForm1::Com_search1Change(int item) {
  if (item < 0 || item >= recent_search_count) return;
  const RecentSearch entry = recent_searches_[static_cast<std::size_t>(item)];
  Ed_search[0]->setText(entry.masks[0]);
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_search.size(); ++k) Ed_search[k]->setText(entry.masks[k]);
  Ed_volumemask[0]->setText(entry.volume_masks[0]);
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_volumemask.size(); ++k) Ed_volumemask[k]->setText(entry.volume_masks[k]);
  Che_archive->setChecked(entry.flags[flag_archive] != 0);
  Che_directory->setChecked(entry.flags[flag_directory] != 0);
  Che_onlydirectory->setChecked(entry.flags[flag_onlydirectory] != 0);
  Che_containsdir->setChecked(entry.flags[flag_containsdir] != 0);
  Che_onlytotal->setChecked(entry.flags[flag_onlytotal] != 0);
  Che_addstar->setChecked(entry.flags[flag_addstar] != 0);
}

void TForm1::PushRecentCatalog(const QString& path) {
  if (std::find(recent_catalogs_.begin(), recent_catalogs_.end(), path) != recent_catalogs_.end()) return;
  std::move_backward(recent_catalogs_.begin(), recent_catalogs_.end() - 1, recent_catalogs_.end());
  recent_catalogs_[0] = path;
  show_recent_catalogs();
}

void TForm1::show_recent_catalogs() {
  for (std::size_t k = 0; k < D_.size(); ++k) D_[k]->setText(menu_text(recent_catalogs_[k]));
}

void TForm1::OpenRecentCatalog(int item) {
  if (item < 0 || item >= static_cast<int>(D_.size()) || run_in_progress()) return;
  const QString chosen = recent_catalogs_[static_cast<std::size_t>(item)];
  PushRecentCatalog(Ed_pathbase->text());
  if (!chosen.isEmpty()) Ed_pathbase->setText(chosen);
}

} // namespace shelvo
