#include "cli/messages.h"

#include <cstdio>

namespace shelvo {

std::string terminal_safe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      out += '?';
    } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += '?';
      ++i;
    } else {
      out += text[i];
    }
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
