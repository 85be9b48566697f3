// The settings as one table: each row names a stored value, where it lives in
// the window, its default, and when it is read and written. Loading reads the
// rows in order and saving writes them in the same order, so a value is written
// under the name it is read by, and a new setting is one row.
#pragma once

#include <QString>
#include <cstdint>
#include <variant>
#include <vector>

class QCheckBox;
class QLineEdit;

namespace shelvo {

class SettingsStore;

// A row is read always, or only when the stored advanced-mode flag holds 1
// (the whole stored integer, not its low byte).
enum class ReadWhen { always, stored_advanced };
// A row is written always, or only in advanced mode.
enum class WriteWhen { always, advanced_mode };

// A text: an edit's text or a text the window keeps. At most
// SettingsStore::max_string_length characters come back.
struct TextSetting {
  std::variant<QLineEdit*, QString*> slot;
  QString fallback;
};

// An integer: a check box (checked by any non-zero value, stored as 1 or 0), a
// byte (the low 8 bits of what is stored) or a 32-bit integer (sixteen_bits:
// it keeps a signed 16-bit count, the low 16 bits of what is stored).
struct NumberSetting {
  std::variant<QCheckBox*, std::uint8_t*, std::int32_t*> slot;
  int fallback = 0;
  bool sixteen_bits = false;
};

struct Setting {
  QString key;
  std::variant<TextSetting, NumberSetting> value;
  ReadWhen read_when = ReadWhen::always;
  WriteWhen write_when = WriteWhen::always;
};

using SettingsTable = std::vector<Setting>;

// Each row whose condition holds, from the store into its slot (a missing or
// unusable value gives the row's default).
void read_settings(SettingsStore& store, const SettingsTable& table, bool stored_advanced);
// Each row whose condition holds, from its slot into the store.
void write_settings(SettingsStore& store, const SettingsTable& table, bool advanced_mode);

} // namespace shelvo
