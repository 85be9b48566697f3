// The window's settings: Qt's QSettings with organisation "Brenwick" and
// application "Shelvo" (the registry key Software\Brenwick\Shelvo on Windows,
// $XDG_CONFIG_HOME/Brenwick/Shelvo.conf here). Read once when the window is
// created and written once when it closes.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

namespace shelvo {

class SettingsStore {
public:
  SettingsStore();
  // The settings of one file, in Qt's INI format or one registered with
  // QSettings::registerFormat (tests and fuzzing).
  explicit SettingsStore(const QString& file_name, QSettings::Format format = QSettings::IniFormat);

  // Longest string a setting holds; a longer stored one is not used.
  static constexpr int max_string_length = 999;

  // A missing value gives the default. So does a value that cannot be what is
  // asked (not a number, a list, a string past max_string_length): it is named
  // in problems() so the user can be told once. Reading never creates anything.
  QString ReadStringSetting(const QString& name, const QString& default_value);
  int ReadIntSetting(const QString& name, int default_value);
  void WriteStringSetting(const QString& name, const QString& text);
  void WriteIntSetting(const QString& name, int value);

  // Stores what was written; false, with problems() saying why, when the
  // settings file could not be written.
  bool save();
  // False when the settings file exists and cannot be written.
  bool writable() const { return settings_.isWritable(); }
  QString file_name() const { return settings_.fileName(); }
  const QStringList& problems() const { return problems_; }

private:
  QSettings settings_;
  QStringList problems_;
};

} // namespace shelvo
