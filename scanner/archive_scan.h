// Lists the members of ARJ, ZIP, LZH and RAR archives into a volume file, without
// unpacking anything: one archive block per recognised archive.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/file_access.h"

namespace shelvo {

// Reads the archive at host_path and appends its archive block to volume_file
// (open for update, positioned at its end, right after the archive's file record).
// logged_path is the path as the walk built it (upper-cased, Windows-1252), used
// in announcements and in the broken-archive log.
// Returns 0 when the archive cannot be opened, -1 when no format is recognised
// (nothing written in either case), 1 when a block was written (maybe empty).
int scan_archive(File& volume_file, const std::string& host_path, std::string_view logged_path);

// True when the file at host_path opens and its first bytes are those of one of
// the four formats: what scan_archive would list.
bool is_archive(const std::string& host_path);

// Where the "Scanning ... File" announcements go; nullptr (the default) drops them.
void set_announcement_stream(std::FILE* stream);

} // namespace shelvo
