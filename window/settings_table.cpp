#include "window/settings_table.h"

#include <QCheckBox>
#include <QLineEdit>

#include "window/settings_store.h"

namespace shelvo {

namespace {

template <class... Ts> struct overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts> overloaded(Ts...) -> overloaded<Ts...>; // clang 14 deduces no aggregate

void read_text(SettingsStore& store, const QString& key, const TextSetting& text) {
  const QString value = store.ReadStringSetting(key, text.fallback);
  std::visit(overloaded{[&](QLineEdit* edit) { edit->setText(value); }, [&](QString* kept) { *kept = value; }},
             text.slot);
}

void read_number(SettingsStore& store, const QString& key, const NumberSetting& number) {
  const int value = store.ReadIntSetting(key, number.fallback);
  const std::int32_t kept_value = number.sixteen_bits ? static_cast<std::int16_t>(value) : value;
  std::visit(overloaded{[&](QCheckBox* box) { box->setChecked(value != 0); },
                        [&](std::uint8_t* byte) { *byte = static_cast<std::uint8_t>(value & 0xFF); },
                        [&](std::int32_t* kept) { *kept = kept_value; }},
             number.slot);
}

void write_text(SettingsStore& store, const QString& key, const TextSetting& text) {
  store.WriteStringSetting(key, std::visit(overloaded{[](QLineEdit* edit) { return edit->text(); },
                                                      [](QString* kept) { return *kept; }},
                                           text.slot));
}

void write_number(SettingsStore& store, const QString& key, const NumberSetting& number) {
  store.WriteIntSetting(key, std::visit(overloaded{[](QCheckBox* box) { return box->isChecked() ? 1 : 0; },
                                                   [](std::uint8_t* byte) { return static_cast<int>(*byte); },
                                                   [](std::int32_t* kept) { return static_cast<int>(*kept); }},
                                        number.slot));
}

} // namespace

void read_settings(SettingsStore& store, const SettingsTable& table, bool stored_advanced) {
  for (const Setting& row : table) {
    if (row.read_when == ReadWhen::stored_advanced && !stored_advanced) continue;
    std::visit(overloaded{[&](const TextSetting& text) { read_text(store, row.key, text); },
                          [&](const NumberSetting& number) { read_number(store, row.key, number); }},
               row.value);
  }
}

void write_settings(SettingsStore& store, const SettingsTable& table, bool advanced_mode) {
  for (const Setting& row : table) {
    switch (row.write_when) {
    case WriteWhen::always: break;
    case WriteWhen::advanced_mode:
      if (!advanced_mode) continue;
      break;
    }
    std::visit(overloaded{[&](const TextSetting& text) { write_text(store, row.key, text); },
                          [&](const NumberSetting& number) { write_number(store, row.key, number); }},
               row.value);
  }
}

} // namespace shelvo
