#include "cli/announcements.h"

#include "cli/console.h"
#include "cli/messages.h"

namespace shelvo {

Announcements::Announcements(std::FILE* target, TerminalStatusView& status)
    : target_(target), status_(status), target_is_terminal_(is_terminal(target)),
      stream_(nullptr, &std::fclose) {
#ifdef _WIN32
  // This host's C library has no stream of a program's own making: no
  // announcements there yet (stream() is nullptr, which the scanner allows).
#else
  cookie_io_functions_t functions{};
  functions.write = [](void* cookie, const char* data, std::size_t size) -> ssize_t {
    static_cast<Announcements*>(cookie)->take(std::string_view(data, size));
    return static_cast<ssize_t>(size);
  };
  stream_.reset(::fopencookie(this, "w", functions));
  // Each line as soon as it is whole, so it comes before the walk goes on.
  if (stream_) std::setvbuf(stream_.get(), nullptr, _IOLBF, 0);
#endif
}

Announcements::~Announcements() {
  if (stream_) std::fflush(stream_.get());
  if (!pending_.empty()) write_line(pending_);
}

void Announcements::take(std::string_view bytes) {
  for (std::size_t newline; (newline = bytes.find('\n')) != std::string_view::npos;) {
    pending_.append(bytes.substr(0, newline));
    write_line(pending_);
    pending_.clear();
    bytes.remove_prefix(newline + 1);
  }
  pending_.append(bytes);
}

void Announcements::write_line(std::string_view line) {
  line = line.substr(0, line.find_last_not_of(' ') + 1);
  if (target_is_terminal_) status_.clear_line();
  const std::string text = prefixed(line) + '\n';
  std::fwrite(text.data(), 1, text.size(), target_);
  std::fflush(target_);
}

} // namespace shelvo
