#include "cli/messages.h"

#include <cstdio>

#include "platform/code_page.h"

namespace shelvo {

std::string terminal_safe(std::string_view text) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      out += text[i++];
      continue;
    }
    if (byte < 0x80) { // C0 and DEL, as names show them
      out += '?';
      ++i;
      continue;
    }
    char32_t code_point = 0;
    if (const std::size_t length = utf8_sequence_at(text, i, code_point); length > 0) {
      if (code_point < 0xA0) out += '?'; // a C1 control, written as UTF-8
      else out.append(text.substr(i, length));
      i += length;
      continue;
    }
    // No character at all: a lone byte 0x80-0x9F is a C1 control to an 8-bit
    // terminal (0x9B opens an escape sequence), so every such byte is shown by
    // its value, as the shell's $'\xNN' writes it.
    out += "\\x";
    out += hex[byte >> 4];
    out += hex[byte & 0x0F];
    ++i;
  }
  return out;
}

std::string prefixed(std::string_view text) {
  std::string out;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (start > 0) out += '\n';
    // An empty line of a box's text gets the name alone, with no blank after it.
    out += line.empty() ? message_prefix.substr(0, message_prefix.size() - 1) : message_prefix;
    out += terminal_safe(line);
    start = end + 1;
  }
  return out;
}

void say(std::string_view text) {
  const std::string line = prefixed(text) + '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void warn(std::string_view text) { say("warning: " + std::string(text)); }

void ask(std::string_view text) {
  const std::string line = prefixed(text);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

} // namespace shelvo
