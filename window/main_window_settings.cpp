// TForm1's settings: every value the window keeps from one run to the next,
// read when the window is created and written when it closes.
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

} // namespace

void TForm1::FormCreate() {
  loading_ = true;
  SettingsStore store;
  const bool stored_advanced = store.ReadIntSetting(QStringLiteral("flag_advanced_users"), 0) == 1;
  const auto check = [&](QCheckBox* box, const char* name, int fallback) {
    box->setChecked(store.ReadIntSetting(QString::fromLatin1(name), fallback) != 0);
  };

  QString catalog = store.ReadStringSetting(QStringLiteral("path_voldepot"), default_catalog);
  QStringList refused;
  if (static_cast<std::size_t>(catalog.toUtf8().size()) > max_catalog_path) {
    refused.push_back(QStringLiteral("the catalog %1 (longer than %2 characters; %3 is used instead)")
                          .arg(catalog).arg(max_catalog_path).arg(default_catalog));
    catalog = default_catalog;
  }
  Ed_pathbase->setText(catalog);
  Ed_pathbaseChange(); // the title, also when the text was already the default
  for (std::size_t k = 0; k < D_.size(); ++k)
    recent_catalogs_[k] = store.ReadStringSetting(QStringLiteral("D_%1").arg(k + 1), QString());
  show_recent_catalogs();
  Ed_search[0]->setText(store.ReadStringSetting(QStringLiteral("RecentSearch1"), QStringLiteral("*.*")));
  if (stored_advanced)
    for (std::size_t k = 1; k < Ed_search.size(); ++k)
      Ed_search[k]->setText(store.ReadStringSetting(QStringLiteral("RecentSearch%1").arg(k + 1), QString()));
  check(Che_archive, "archive", 1);
  check(Che_directory, "directory", 1);
  check(Che_containsdir, "containsdir", 1);
  check(Che_onlydirectory, "onlydirectory", 0);
  if (Che_onlydirectory->isChecked()) Che_onlydirectoryClick();
  if (stored_advanced) check(Che_onlytotal, "onlytotal", 0);
  ApplyOnlyTotal();
  check(Che_autoexpand, "autoexpand", 1);
  check(Che_reversesort, "reversesort", 0);
  check(Che_overwriteolddisk, "overwriteolddisk", 0);
  check(Che_addstar, "addstar", 1);
  Ed_option->setText(store.ReadStringSetting(QStringLiteral("Ed_option"), QString()));
  Ed_volumemask[0]->setText(store.ReadStringSetting(QStringLiteral("Ed_volumemask1"), QStringLiteral("*")));
  if (stored_advanced)
    for (std::size_t k = 1; k < Ed_volumemask.size(); ++k)
      Ed_volumemask[k]->setText(store.ReadStringSetting(QStringLiteral("Ed_volumemask%1").arg(k + 1), QString()));
  known_volume_count = static_cast<std::int16_t>(store.ReadIntSetting(QStringLiteral("last_nb_volume_total"), 1));
  read_recent_searches(store, recent_searches_);
  Com_search1->clear();
  for (const RecentSearch& entry : recent_searches_) Com_search1->addItem(entry.masks[0]);
  advanced_mode_ = static_cast<std::uint8_t>(store.ReadIntSetting(QStringLiteral("flag_advanced_users"), 0) & 0xFF);
  ApplyAdvancedMode();

  restore_geometry(store);
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
  const auto flag = [](const QCheckBox* box) { return box->isChecked() ? 1 : 0; };
  store.WriteStringSetting(QStringLiteral("path_voldepot"), Ed_pathbase->text());
  for (std::size_t k = 0; k < D_.size(); ++k)
    store.WriteStringSetting(QStringLiteral("D_%1").arg(k + 1), recent_catalogs_[k]);
  store.WriteStringSetting(QStringLiteral("RecentSearch1"), Ed_search[0]->text());
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_search.size(); ++k)
      store.WriteStringSetting(QStringLiteral("RecentSearch%1").arg(k + 1), Ed_search[k]->text());
  store.WriteIntSetting(QStringLiteral("archive"), flag(Che_archive));
  store.WriteIntSetting(QStringLiteral("directory"), flag(Che_directory));
  store.WriteIntSetting(QStringLiteral("containsdir"), flag(Che_containsdir));
  store.WriteIntSetting(QStringLiteral("onlydirectory"), flag(Che_onlydirectory));
  store.WriteIntSetting(QStringLiteral("onlytotal"), flag(Che_onlytotal));
  store.WriteIntSetting(QStringLiteral("autoexpand"), flag(Che_autoexpand));
  store.WriteIntSetting(QStringLiteral("reversesort"), flag(Che_reversesort));
  store.WriteIntSetting(QStringLiteral("overwriteolddisk"), flag(Che_overwriteolddisk));
  store.WriteIntSetting(QStringLiteral("addstar"), flag(Che_addstar));
  store.WriteStringSetting(QStringLiteral("Ed_option"), Ed_option->text());
  store.WriteStringSetting(QStringLiteral("Ed_volumemask1"), Ed_volumemask[0]->text());
  if (advanced_mode())
    for (std::size_t k = 1; k < Ed_volumemask.size(); ++k)
      store.WriteStringSetting(QStringLiteral("Ed_volumemask%1").arg(k + 1), Ed_volumemask[k]->text());
  store.WriteIntSetting(QStringLiteral("last_nb_volume_total"), known_volume_count);
  write_recent_searches(store, recent_searches_);
  store.WriteIntSetting(QStringLiteral("flag_advanced_users"), advanced_mode_);
  save_geometry(store);
  if (!store.save())
    dialogs_->show_message(("Your settings could not be kept: " + store.problems().join(QStringLiteral("; "))).toStdString(),
                           "Shelvo", DialogButtons::ok, DialogIcon::warning);
}
} // namespace shelvo
