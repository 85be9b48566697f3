#include "window/screen_text.h"

#include <array>

#include "platform/code_page.h"
#include "results/printable_text.h"

namespace shelvo {

namespace {

// The core's one table of how each byte is shown, but for the byte that stands
// for a character the catalog cannot hold, which the screen shows as U+FFFD
// rather than '?'.
std::array<QChar, 256> make_screen_table() {
  std::array<QChar, 256> table{};
  for (int byte = 0; byte < 256; ++byte)
    table[static_cast<std::size_t>(byte)] = QChar(printable_character(static_cast<unsigned char>(byte)));
  table[static_cast<unsigned char>(unstorable_char)] = QChar(0xFFFD);
  return table;
}

} // namespace

QString to_screen(std::string_view cp1252_text) {
  static const std::array<QChar, 256> table = make_screen_table();
  QString out(static_cast<qsizetype>(cp1252_text.size()), Qt::Uninitialized);
  QChar* at = out.data();
  for (const char c : cp1252_text) *at++ = table[static_cast<unsigned char>(c)];
  return out;
}

} // namespace shelvo
