// Windows-1252 <-> UTF-8. Catalogs are single-byte Windows-1252; the host speaks
// bytes that are usually UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace shelvo {

// Stands for a character that Windows-1252 lacks. Windows-1252 leaves 0x8F
// undefined and no mask treats it as a wildcard, so a name or mask holding one
// finds only names with such a character there, unlike '?', which would match
// any character. Shown as '?' (or U+FFFD) to the user.
constexpr char unstorable_char = '\x8F';

// UTF-8 to Windows-1252. A character with no Windows-1252 form becomes
// unstorable_char; bytes that are not valid UTF-8 are taken as Windows-1252
// bytes as they are.
std::string utf8_to_cp1252(std::string_view text);

// The length of the well-formed, shortest-form UTF-8 sequence of two or more
// bytes at text[at], with its code point; 0 when the bytes there are none (an
// ASCII byte included).
std::size_t utf8_sequence_at(std::string_view text, std::size_t at, char32_t& code_point);

// Windows-1252 to UTF-8. The five codes that Windows-1252 leaves undefined map
// to the C1 controls of the same value, as Windows does.
std::string cp1252_to_utf8(std::string_view text);

} // namespace shelvo
