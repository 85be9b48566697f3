#include "cli/terminal_status_view.h"

namespace shelvo {

void TerminalStatusView::set_status_caption(std::string_view text) {
  caption_ = text;
  if (!live_) return;
  // Carriage return, the line, then erase whatever a longer previous line left.
  std::fprintf(stream_, "\r%s\x1b[K", caption_.c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void TerminalStatusView::finish() {
  if (caption_.empty() && !drawn_) return;
  if (live_) std::fprintf(stream_, "\r%s\x1b[K\n", caption_.c_str());
  else std::fprintf(stream_, "%s\n", caption_.c_str());
  std::fflush(stream_);
  drawn_ = false;
}

} // namespace shelvo
