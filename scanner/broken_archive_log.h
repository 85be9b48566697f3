// The broken-archive log: one append-only text file that the front ends offer to
// open after an add that met broken archive headers.
#pragma once

#include <string_view>

namespace shelvo {

// Where the log lives; resolved through the drive table like every DOS path.
constexpr std::string_view broken_archive_log_path = "C:\\KESTRA.ERR";

// Appends "BROKEN file: PATH (or header looks like an WORD)\n" to the log, the
// Windows-1252 path written as UTF-8. Returns false when the log could not be
// opened or written; the line is then lost (callers still count the header).
bool log_broken_archive(std::string_view logged_path, std::string_view format_word);

} // namespace shelvo
