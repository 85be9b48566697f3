// The window's settings read back from a settings file of arbitrary text: the
// recent-search table and the geometry come back within their limits, whatever
// the file holds.
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "window/main_window.h"
#include "window/recent_searches.h"
#include "window/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace shelvo;
  // A new name each time: the settings of a file are cached by its name.
  static int serial = 0;
  const std::string file = fuzzing::scratch() + "/settings-" + std::to_string(serial++ % 1000) + ".conf";
  fuzzing::write_bytes(file, fuzzing::text_of(data, size));
  {
    SettingsStore store(QString::fromStdString(file));
    RecentSearchTable table;
    read_recent_searches(store, table);
    for (const RecentSearch& entry : table) {
      for (const QString& mask : entry.masks) FUZZ_CHECK(mask.size() <= SettingsStore::max_string_length);
      for (const QString& mask : entry.volume_masks) FUZZ_CHECK(mask.size() <= SettingsStore::max_string_length);
    }
    const QPoint place = TForm1::clamped_place(store.ReadIntSetting(QStringLiteral("left"), 0),
                                               store.ReadIntSetting(QStringLiteral("top"), 0));
    FUZZ_CHECK(place.y() <= 480 && place.y() >= -240 && place.x() <= 640 && place.x() >= -320);
    FUZZ_CHECK(store.ReadStringSetting(QStringLiteral("path_voldepot"), QString()).size() <= SettingsStore::max_string_length);
  }
  std::remove(file.c_str());
  return 0;
}
