// What the status lines need of a front end: a caption, a progress bar, and a
// chance to handle pending input (the only way a Stop reaches a running pass).
#pragma once

#include <string_view>

namespace shelvo {

class StatusView {
public:
  virtual ~StatusView() = default;
  virtual void set_status_caption(std::string_view text) = 0;
  virtual void set_progress_position(int position) = 0;
  virtual void set_progress_maximum(int maximum) = 0;
  virtual void process_pending_events() = 0;
  // A word the user should see at once, beyond the counts (a wait for another
  // program): by default the caption, drawn now.
  virtual void show_notice(std::string_view text) {
    set_status_caption(text);
    process_pending_events();
  }
};

// The view the status lines draw on; nullptr (the default) draws nothing.
void set_status_view(StatusView* view);
StatusView* status_view();

} // namespace shelvo
