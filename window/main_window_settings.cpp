// TForm1's settings: every value the window keeps from one run to the next,
// read when the window is created and written when it closes, through one
// table.
#include "window/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "results/status_lines.h"
#include "window/settings_store.h"

namespace shelvo {

namespace {

const QString default_catalog = QStringLiteral("c:\\voldepot\\");
// Read before the table too: some rows are read only when it holds 1.
const QString advanced_mode_key = QStringLiteral("flag_advanced_users");

QString numbered(const char* key, std::size_t k) { return QString::fromLatin1(key).arg(k + 1); }

} // namespace

SettingsTable TForm1::settings_table(StoredPlace& place) {
  constexpr auto stored_advanced = ReadWhen::stored_advanced;
  constexpr auto always = ReadWhen::always;
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
  for (std::size_t k = 0; k < D_.size(); ++k) text(numbered("D_%1", k), &recent_catalogs_[k], QString());
  text(QStringLiteral("RecentSearch1"), Ed_search[0], QStringLiteral("*.*"));
  for (std::size_t k = 1; k < Ed_search.size(); ++k)
    text(numbered("RecentSearch%1", k), Ed_search[k], QString(), stored_advanced, WriteWhen::advanced_mode);
  number(QStringLiteral("archive"), Che_archive, 1);
  number(QStringLiteral("directory"), Che_directory, 1);
  number(QStringLiteral("containsdir"), Che_containsdir, 1);
  number(QStringLiteral("onlydirectory"), Che_onlydirectory, 0);
  number(QStringLiteral("onlytotal"), Che_onlytotal, 0, stored_advanced);
  number(QStringLiteral("autoexpand"), Che_autoexpand, 1);
  number(QStringLiteral("reversesort"), Che_reversesort, 0);
  number(QStringLiteral("overwriteolddisk"), Che_overwriteolddisk, 0);
  number(QStringLiteral("addstar"), Che_addstar, 1);
  text(QStringLiteral("Ed_option"), Ed_option, QString());
  text(QStringLiteral("Ed_volumemask1"), Ed_volumemask[0], QStringLiteral("*"));
  for (std::size_t k = 1; k < Ed_volumemask.size(); ++k)
    text(numbered("Ed_volumemask%1", k), Ed_volumemask[k], QString(), stored_advanced, WriteWhen::advanced_mode);
  table.push_back({QStringLiteral("last_nb_volume_total"), NumberSetting{&known_volume_count, 1, true}});
  add_recent_search_settings(table, recent_searches_);
  number(advanced_mode_key, &advanced_mode_, 0);
  number(QStringLiteral("top"), &place.top, 0, always, WriteWhen::normal_state);
  number(QStringLiteral("left"), &place.left, 0, always, WriteWhen::normal_state);
  number(QStringLiteral("width"), &place.width, 0, always, WriteWhen::normal_state);
  number(QStringLiteral("height"), &place.height, 0, always, WriteWhen::normal_state);
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
  show_recent_catalogs();
  if (Che_onlydirectory->isChecked()) Che_onlydirectoryClick();
  ApplyOnlyTotal();
  Com_search1->clear();
  for (const RecentSearch& entry : recent_searches_) Com_search1->addItem(entry.masks[0]);
  ApplyAdvancedMode();
  restore_geometry(place);
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
  bool normal = true;
  StoredPlace place = place_to_store(normal);
  write_settings(store, settings_table(place), advanced_mode(), normal);
  if (!store.save())
    dialogs_->show_message(("Your settings could not be kept: " + store.problems().join(QStringLiteral("; "))).toStdString(),
                           "Shelvo", DialogButtons::ok, DialogIcon::warning);
}

} // namespace shelvo
