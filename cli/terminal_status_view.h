// The status line of shelvo-cli: redrawn in place on a terminal, as a live
// progress line; elsewhere only the final line is written.
#pragma once

#include <cstdio>
#include <string>

#include "results/status_view.h"

namespace shelvo {

class TerminalStatusView : public StatusView {
public:
  TerminalStatusView(std::FILE* stream, bool live) : stream_(stream), live_(live) {}
  void set_status_caption(std::string_view text) override;
  void set_progress_position(int) override {}
  void set_progress_maximum(int) override {}
  void process_pending_events() override {}
  // Ends the run: writes the last caption as the final line.
  void finish();

private:
  std::FILE* stream_;
  bool live_;
  bool drawn_ = false;
  std::string caption_;
};

} // namespace shelvo
