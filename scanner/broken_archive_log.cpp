#include "scanner/broken_archive_log.h"

#include <string>

#include "platform/file_access.h"
#include "results/printable_text.h"
#include "results/run_state.h"

namespace shelvo {

bool log_broken_archive(std::string_view logged_path, std::string_view format_word) {
  // Opened and closed per line, so that a crash later in the add loses nothing
  // and the user can open the log while the program runs. Never through a link:
  // the path in the line comes from the volume, and a planted link would carry
  // it into another file.
  File log = File::open(broken_archive_log_path, "at");
  std::string line = "BROKEN file: ";
  line += printable_utf8(logged_path);
  line += " (or header looks like an ";
  line += format_word;
  line += ")\n";
  if (log && log.write(line) && log.close()) return true;
  if (run_report.log_failure.empty())
    run_report.log_failure = "cannot write the log " + std::string(broken_archive_log_path) + ": " + error_text(log.error());
  return false;
}

} // namespace shelvo
