#include "cli/terminal_status_view.h"

#include "cli/console.h"
#include "cli/messages.h"

#include <string>

namespace shelvo {

std::string TerminalStatusView::fitted(std::string_view text) const {
  // The last column stays free: writing into it leaves the cursor waiting to wrap.
  const std::size_t room = terminal_columns(stream_) - 1;
  std::string line(text);
  if (line.size() <= room) return line;
  std::string squeezed;
  for (char c : line)
    if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') squeezed += c;
  if (squeezed.size() > room) squeezed.resize(room);
  return squeezed;
}

void TerminalStatusView::set_status_caption(std::string_view text) {
  caption_ = text;
  if (!live_) return;
  // Carriage return, the line, then erase whatever a longer previous line left.
  std::fprintf(stream_, "\r%s\x1b[K", fitted(caption_).c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void TerminalStatusView::clear_line() {
  if (live_ && drawn_) {
    std::fputs("\r\x1b[K", stream_);
    std::fflush(stream_);
  }
  drawn_ = false;
}

void TerminalStatusView::show_notice(std::string_view text) {
  clear_line();
  const std::string line = prefixed(std::string(text) + " (Ctrl-C gives up)") + '\n';
  std::fputs(line.c_str(), stream_);
  std::fflush(stream_);
  drawn_ = false;
}

void TerminalStatusView::finish() {
  if (!final_line_ || (caption_.empty() && !drawn_)) return;
  if (live_) std::fprintf(stream_, "\r%s\x1b[K\n", fitted(caption_).c_str());
  else std::fprintf(stream_, "%s\n", caption_.c_str());
  std::fflush(stream_);
  drawn_ = false;
}

} // namespace shelvo
