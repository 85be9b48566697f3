// The archive announcements that --verbose asks for ("Scanning Zip File
// \PACK.ZIP"), as lines of the tool's own: prefixed like its other messages,
// without the blanks that fill a console's 80 columns, and, on the terminal of
// the live status line, on a line of their own instead of behind it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "cli/terminal_status_view.h"

namespace shelvo {

class Announcements {
public:
  // Lines go to target; status is the live line they must not run into.
  Announcements(std::FILE* target, TerminalStatusView& status);
  Announcements(const Announcements&) = delete;
  Announcements& operator=(const Announcements&) = delete;
  ~Announcements(); // writes what is left of an unfinished line

  // The stream the scanner writes into; nullptr when none could be made.
  std::FILE* stream() const { return stream_.get(); }

private:
  void take(std::string_view bytes);
  void write_line(std::string_view line);

  std::FILE* target_;
  TerminalStatusView& status_;
  bool target_is_terminal_;
  std::string pending_; // the start of a line, until its newline comes
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream_;
};

} // namespace shelvo
