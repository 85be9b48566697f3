// The window's settings read by the path its start takes (TForm1::load_settings
// over the settings table), with any key given any value: texts of any length
// and characters, numbers in and out of range, numbers written as text, lists,
// bytes, nothing. The input is a sequence of such values; a settings format of
// the fuzzer's own hands them to the store, so the time goes to the window's
// reading of values, not to Qt parsing a file. Whatever is stored, every text
// comes back within its limit, the counts and lists keep their sizes, and the
// window lies whole on the screen.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <string>

#include "engine/argument_vector.h"
#include "fuzz/fuzz_support.h"
#include "results/status_lines.h"
#include "window/main_window.h"
#include "window/settings_store.h"

namespace {

using namespace shelvo;

QStringList keys; // every key of the settings table, in its order

// The input, one value after another: two bytes choosing the key, one its kind,
// then what that kind takes.
class Values {
public:
  explicit Values(const QByteArray& bytes) : bytes_(bytes) {}
  bool done() const { return at_ >= bytes_.size(); }
  std::uint8_t byte() { return done() ? 0 : static_cast<std::uint8_t>(bytes_[at_++]); }
  QByteArray take(qsizetype count) {
    const QByteArray part = bytes_.mid(at_, count);
    at_ += part.size();
    return part;
  }
  template <class T> T number() {
    T value{};
    const QByteArray part = take(sizeof value);
    std::memcpy(&value, part.constData(), static_cast<std::size_t>(part.size()));
    return value;
  }
  QString text() { return QString::fromUtf8(take(byte())); }

private:
  const QByteArray& bytes_;
  qsizetype at_ = 0;
};

QVariant next_value(Values& in) {
  switch (in.byte() % 9) {
  case 0: return in.text();
  case 1: { // long: around the limits of a text and of a catalog path
    const int length = in.number<std::uint16_t>() % 1100;
    return QString(length, QChar(in.byte() | 0x20));
  }
  case 2: return in.number<std::int32_t>();
  case 3: return QString::fromLatin1(in.take(in.byte() % 24)); // a number as text, or not quite
  case 4: {
    QStringList list;
    for (int k = in.byte() % 4; k > 0; --k) list.push_back(in.text());
    return list;
  }
  case 5: return static_cast<qlonglong>(in.number<std::int64_t>());
  case 6: return in.number<double>();
  case 7: return in.take(in.byte());
  default: return QVariant();
  }
}

bool read_values(QIODevice& device, QSettings::SettingsMap& map) {
  const QByteArray bytes = device.readAll();
  Values in(bytes);
  while (!in.done()) {
    const int key = in.number<std::uint16_t>() % keys.size();
    map.insert(keys[key], next_value(in));
  }
  return true;
}

bool write_nothing(QIODevice&, const QSettings::SettingsMap&) { return true; }

TForm1* form = nullptr;
QSettings::Format format = QSettings::InvalidFormat;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& scratch = fuzzing::scratch(); // maps drive C there
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1); // no settings of the user's
  ::setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
  static int argc = 1;
  static char name[] = "fuzz_settings";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  form = new TForm1;
  keys = form->setting_keys();
  format = QSettings::registerFormat(QStringLiteral("fuzz"), read_values, write_nothing);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A new name each time: the settings of a file are cached by its name.
  static unsigned long serial = 0;
  const std::string file = fuzzing::scratch() + "/settings-" + std::to_string(serial++) + ".fuzz";
  fuzzing::write_bytes(file, fuzzing::text_of(data, size));
  {
    SettingsStore store(QString::fromStdString(file), format);
    form->load_settings(store);
  }
  std::remove(file.c_str());

  for (const QLineEdit* edit : form->findChildren<QLineEdit*>())
    FUZZ_CHECK(edit->text().size() <= SettingsStore::max_string_length);
  const QLineEdit* pathbase = form->findChild<QLineEdit*>(QStringLiteral("Ed_pathbase"));
  FUZZ_CHECK(static_cast<std::size_t>(pathbase->text().toUtf8().size()) <= element_limit - 3);
  for (const QString& catalog : form->recent_catalogs()) FUZZ_CHECK(catalog.size() <= SettingsStore::max_string_length);
  for (const RecentSearch& entry : form->recent_searches()) {
    for (const QString& mask : entry.masks) FUZZ_CHECK(mask.size() <= SettingsStore::max_string_length);
    for (const QString& mask : entry.volume_masks) FUZZ_CHECK(mask.size() <= SettingsStore::max_string_length);
  }
  FUZZ_CHECK(form->findChild<QComboBox*>(QStringLiteral("Com_search1"))->count() == recent_search_count);
  FUZZ_CHECK(known_volume_count >= std::numeric_limits<std::int16_t>::min() &&
             known_volume_count <= std::numeric_limits<std::int16_t>::max());
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  FUZZ_CHECK(screen.contains(form->frameGeometry()));
  return 0;
}
