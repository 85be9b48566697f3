#include "window/screen_text.h"

#include <array>

#include "platform/code_page.h"

namespace shelvo {

namespace {

std::array<QChar, 256> make_screen_table() {
  std::array<QChar, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const QString text = QString::fromUtf8(cp1252_to_utf8(std::string_view(&c, 1)));
    const bool control = byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0 && text[0].unicode() < 0xA0);
    table[static_cast<std::size_t>(byte)] = control ? QChar('?') : text[0];
  }
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
