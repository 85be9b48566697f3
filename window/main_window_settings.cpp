// TForm1's settings: every value the window keeps from one run to the next,
// read when the window is created and written when it closes, through one
// table.
#include "window/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "results/status_lines.h"
#include "window/add_panel.h"
#include "window/recent_catalogs_menu.h"
#include "window/result_area.h"
#include "window/run_controller.h"
#include "window/search_panel.h"
#include "window/settings_store.h"
#include "window/volume_mask_box.h"

namespace shelvo {

namespace {

const QString default_catalog = QStringLiteral("c:\\voldepot\\");
// Read before the table too: some rows are read only when it holds 1.
const QString advanced_mode_key = QStringLiteral("flag_advanced_users");

QString numbered(const char* key, std::size_t k) { return QString::fromLatin1(key).arg(k + 1); }

} // namespace

SettingsTable TForm1::settings_table(StoredPlace& place) {
  constexpr auto stored_advanced = ReadWhen::stored_advanced;
  SettingsTable table;
  const auto text = [&](QString key, auto slot, QString fallback, ReadWhen read = ReadWhen::always,
                        WriteWhen write = WriteWhen::always) {
    table.push_back({std::move(key), TextSetting{slot, std::move(fallback)}, read, write});
  };
  const auto number = [&](QString key, auto slot, int fallback, ReadWhen read = ReadWhen::always,
                          WriteWhen write = WriteWhen::always) {
    table.push_back({std::move(key), NumberSetting{slot, fallback}, read, write});
  };
  text(QStringLiteral("path_voldepot"), Ed_pathbase, default_catalog);
  for (std::size_t k = 0; k < recent_catalogs_->size(); ++k)
    text(numbered("D_%1", k), recent_catalogs_->slot(k), QString());
  text(QStringLiteral("RecentSearch1"), search_->mask(0), QStringLiteral("*.*"));
  for (std::size_t k = 1; k < 6; ++k)
    text(numbered("RecentSearch%1", k), search_->mask(k), QString(), stored_advanced, WriteWhen::advanced_mode);
  number(QStringLiteral("archive"), search_->archive(), 1);
  number(QStringLiteral("directory"), search_->directory(), 1);
  number(QStringLiteral("containsdir"), search_->contains_dir(), 1);
  number(QStringLiteral("onlydirectory"), search_->only_directory(), 0);
  number(QStringLiteral("onlytotal"), column_->only_total(), 0, stored_advanced);
  number(QStringLiteral("autoexpand"), results_->autoexpand_box(), 1);
  number(QStringLiteral("reversesort"), results_->reverse_sort(), 0);
  number(QStringLiteral("overwriteolddisk"), add_->overwrite_box(), 0);
  number(QStringLiteral("addstar"), search_->add_star(), 1);
  text(QStringLiteral("Ed_option"), column_->option(), QString());
  text(QStringLiteral("Ed_volumemask1"), volume_masks_->edit(0), QStringLiteral("*"));
  for (std::size_t k = 1; k < 4; ++k)
    text(numbered("Ed_volumemask%1", k), volume_masks_->edit(k), QString(), stored_advanced, WriteWhen::advanced_mode);
  table.push_back({QStringLiteral("last_nb_volume_total"), NumberSetting{&known_volume_count, 1, true}});
  add_recent_search_settings(table, search_->recent_searches());
  number(advanced_mode_key, &advanced_mode_, 0);
  // The normal geometry, kept apart from the state: a window closed maximized
  // comes back to it when it is restored.
  number(QStringLiteral("top"), &place.top, 0);
  number(QStringLiteral("left"), &place.left, 0);
  number(QStringLiteral("width"), &place.width, 0);
  number(QStringLiteral("height"), &place.height, 0);
  number(QStringLiteral("windowstate"), &place.state, 0);
  return table;
}

QStringList TForm1::setting_keys() {
  StoredPlace place;
  QStringList keys;
  for (const Setting& row : settings_table(place)) keys.push_back(row.key);
  return keys;
}

void TForm1::FormCreate() {
  SettingsStore store;
  load_settings(store);
}

void TForm1::load_settings(SettingsStore& store) {
  loading_ = true;
  StoredPlace place;
  read_settings(store, settings_table(place), store.ReadIntSetting(advanced_mode_key, 0) == 1);

  // The rules that follow from what was read.
  QStringList refused;
  const QString catalog = Ed_pathbase->text();
  if (static_cast<std::size_t>(catalog.toUtf8().size()) > max_catalog_path) {
    refused.push_back(QStringLiteral("the catalog %1 (longer than %2 characters; %3 is used instead)")
                          .arg(catalog).arg(max_catalog_path).arg(default_catalog));
    Ed_pathbase->setText(default_catalog);
  }
  Ed_pathbaseChange(); // the title, also when the text was already the default
  recent_catalogs_->show();
  if (search_->only_directory()->isChecked()) search_->Che_onlydirectoryClick();
  ApplyOnlyTotal();
  search_->show_recent_searches();
  ApplyAdvancedMode();
  placement_->restore(place);
  Button3Click(false);
  loading_ = false;

  // Said once, plainly: what could not be kept. The window runs on its defaults.
  for (const QString& problem : store.problems())
    refused.push_back(QStringLiteral("the setting %1, which was reset to its default").arg(problem));
  if (!store.writable())
    refused.push_back(QStringLiteral("the settings themselves: %1 cannot be written, so changes will not be kept")
                          .arg(store.file_name()));
  if (!refused.isEmpty()) startup_notice_ = QStringLiteral("Shelvo could not use:\n- ") + refused.join(QStringLiteral("\n- "));
}

void TForm1::FormDestroy() {
  SettingsStore store;
  StoredPlace place = placement_->to_store();
  write_settings(store, settings_table(place), advanced_mode());
  if (!store.save())
    runs_->dialogs().show_message(("Your settings could not be kept: " + store.problems().join(QStringLiteral("; "))).toStdString(),
                           "Shelvo", DialogButtons::ok, DialogIcon::warning);
}

} // namespace shelvo
