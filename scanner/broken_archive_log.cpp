#include "scanner/broken_archive_log.h"

#include <string>

#include "platform/code_page.h"
#include "platform/file_access.h"

namespace shelvo {

bool log_broken_archive(std::string_view logged_path, std::string_view format_word) {
  // Opened and closed per line, so that a crash later in the add loses nothing
  // and the user can open the log while the program runs.
  File log = File::open(broken_archive_log_path, "at");
  if (!log) return false;
  std::string line = "BROKEN file: ";
  line += cp1252_to_utf8(logged_path);
  line += " (or header looks like an ";
  line += format_word;
  line += ")\n";
  log.write(line);
  return log.close();
}

} // namespace shelvo
