// The status line of shelvo-cli: redrawn in place on a terminal, as a live
// progress line kept within the terminal's width; elsewhere the final line only,
// exactly as the window shows it, or nothing (a script that is told of problems
// only).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "results/status_view.h"

namespace shelvo {

class TerminalStatusView : public StatusView {
public:
  enum class Shown { live, final_line, nothing };
  TerminalStatusView(std::FILE* stream, Shown shown)
      : stream_(stream), live_(shown == Shown::live), final_line_(shown != Shown::nothing) {}
  void set_status_caption(std::string_view text) override;
  void set_progress_position(int) override {}
  void set_progress_maximum(int) override {}
  void process_pending_events() override {}
  // A line of its own on the stream, at once, whether or not it is a terminal.
  void show_notice(std::string_view text) override;
  // Takes the live line off the terminal, for a line of another kind to go
  // there; the next caption draws it again.
  void clear_line();
  // Ends the run: writes the last caption as the final line.
  void finish();

private:
  // The caption as it fits a terminal row: runs of blanks squeezed to one when
  // the line is too wide, then cut. A line as wide as the row would wrap, and
  // the next carriage return would then redraw only its second half.
  std::string fitted(std::string_view text) const;

  std::FILE* stream_;
  bool live_;
  bool final_line_;
  bool drawn_ = false;
  std::string caption_;
};

} // namespace shelvo
