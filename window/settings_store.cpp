#include "window/settings_store.h"

namespace shelvo {

SettingsStore::SettingsStore() : settings_(QStringLiteral("Brenwick"), QStringLiteral("Shelvo")) {}

SettingsStore::SettingsStore(const QString& file_name, QSettings::Format format) : settings_(file_name, format) {}

QString SettingsStore::ReadStringSetting(const QString& name, const QString& default_value) {
  if (!settings_.contains(name)) return default_value;
  const QVariant value = settings_.value(name);
  // A text holding a comma, written by hand without quotes, reads back as a list.
  if (value.typeId() == QMetaType::QStringList) {
    problems_.push_back(name + QStringLiteral(" (not a single text)"));
    return default_value;
  }
  const QString text = value.toString();
  if (text.size() > max_string_length) {
    problems_.push_back(name + QStringLiteral(" (longer than %1 characters)").arg(max_string_length));
    return default_value;
  }
  return text;
}

int SettingsStore::ReadIntSetting(const QString& name, int default_value) {
  if (!settings_.contains(name)) return default_value;
  bool ok = false;
  const int value = settings_.value(name).toInt(&ok);
  if (!ok) {
    problems_.push_back(name + QStringLiteral(" (not a number)"));
    return default_value;
  }
  return value;
}

void SettingsStore::WriteStringSetting(const QString& name, const QString& text) { settings_.setValue(name, text); }

void SettingsStore::WriteIntSetting(const QString& name, int value) { settings_.setValue(name, value); }

bool SettingsStore::save() {
  settings_.sync();
  switch (settings_.status()) {
  case QSettings::NoError: return true;
  case QSettings::AccessError: problems_.push_back(settings_.fileName() + QStringLiteral(" cannot be written")); break;
  case QSettings::FormatError: problems_.push_back(settings_.fileName() + QStringLiteral(" is damaged")); break;
  }
  return false;
}

} // namespace shelvo
