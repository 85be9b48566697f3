// Windows-1252 text as a user is shown it. Names come from volumes and archives
// nobody vetted, so no control character ever reaches a terminal, a file or the
// window: each control character (0x00-0x1F, 0x7F, and the five codes that
// Windows-1252 leaves to the C1 controls, unstorable_char among them) is shown
// as '?', and a name always stays on one line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace shelvo {

// The character a Windows-1252 byte is shown as: its own, or '?' for a control
// character. Every Windows-1252 character lies in the Basic Multilingual Plane,
// so one UTF-16 unit holds it (the window shows text so).
char16_t printable_character(unsigned char byte);

// The most UTF-8 bytes one Windows-1252 byte is shown with.
constexpr std::size_t longest_printable_utf8 = 3;

// Windows-1252 text as UTF-8, each control character written as '?'.
std::string printable_utf8(std::string_view cp1252_text);
// The same, appended to out.
void append_printable_utf8(std::string& out, std::string_view cp1252_text);
// The same, written at out, which has room for longest_printable_utf8 bytes for
// each byte of the text; returns the end of what it wrote.
char* write_printable_utf8(char* out, std::string_view cp1252_text);

} // namespace shelvo
