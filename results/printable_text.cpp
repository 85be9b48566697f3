#include "results/printable_text.h"

#include "platform/code_page.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace shelvo {

namespace {

bool is_control(unsigned char byte) {
  // 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no Windows-1252 character and map to
  // the C1 controls of the same value.
  return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
         byte == 0x9D;
}

// The code point of one or more bytes of well-formed UTF-8 of the Basic
// Multilingual Plane, as the code page's conversion writes it.
char16_t decoded_utf8(std::string_view utf8) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(utf8[k])); };
  if (utf8.size() == 1) return static_cast<char16_t>(byte(0));
  if (utf8.size() == 2) return static_cast<char16_t>((byte(0) & 0x1F) << 6 | (byte(1) & 0x3F));
  return static_cast<char16_t>((byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F));
}

// The first byte in [p, end) that is not printable ASCII (0x20-0x7E), eight
// bytes at a time; end when there is none.
const char* end_of_plain_run(const char* p, const char* end) {
  constexpr std::uint64_t ones = 0x0101010101010101u;
  constexpr std::uint64_t highs = 0x8080808080808080u;
  for (; end - p >= 8; p += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    // A byte below 0x20 or above 0x7E sets its high bit in one of the two.
    const std::uint64_t below = (word - 0x20 * ones) & ~word & highs;
    const std::uint64_t above = ((word + (0x7F - 0x7E) * ones) | word) & highs;
    if ((below | above) != 0) break;
  }
  while (p < end && static_cast<unsigned char>(*p) >= 0x20 && static_cast<unsigned char>(*p) < 0x7F) ++p;
  return p;
}

// The character and the UTF-8 text each Windows-1252 byte is shown as: one
// table lookup per byte keeps a 200,000-line tree well under a second.
class PrintableTable {
public:
  PrintableTable() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const char ch = static_cast<char>(byte);
      const bool control = is_control(static_cast<unsigned char>(byte));
      utf8_[byte] = control ? "?" : cp1252_to_utf8(std::string_view(&ch, 1));
      characters_[byte] = decoded_utf8(utf8_[byte]);
    }
  }
  char16_t character(unsigned char byte) const { return characters_[byte]; }
  char* write(char* out, std::string_view cp1252_text) const {
    // Runs of printable ASCII, nearly all of every name, are copied at once.
    const char* p = cp1252_text.data();
    const char* const end = p + cp1252_text.size();
    while (p < end) {
      const char* const run = p;
      p = end_of_plain_run(p, end);
      out = std::copy(run, p, out);
      if (p < end) {
        const std::string& utf8 = utf8_[static_cast<unsigned char>(*p++)];
        out = std::copy(utf8.begin(), utf8.end(), out);
      }
    }
    return out;
  }

private:
  std::array<std::string, 256> utf8_;
  std::array<char16_t, 256> characters_{};
};

const PrintableTable& printable_table() {
  static const PrintableTable table;
  return table;
}

} // namespace

char16_t printable_character(unsigned char byte) { return printable_table().character(byte); }

std::string printable_utf8(std::string_view cp1252_text) {
  std::string out;
  append_printable_utf8(out, cp1252_text);
  return out;
}

void append_printable_utf8(std::string& out, std::string_view cp1252_text) {
  const std::size_t used = out.size();
  out.resize(used + longest_printable_utf8 * cp1252_text.size());
  out.resize(static_cast<std::size_t>(write_printable_utf8(out.data() + used, cp1252_text) - out.data()));
}

char* write_printable_utf8(char* out, std::string_view cp1252_text) {
  return printable_table().write(out, cp1252_text);
}

} // namespace shelvo
