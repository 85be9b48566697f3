// The volume walk: records a mounted volume depth first as directory and file
// records, with the members of every archive it meets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_access.h"

namespace shelvo {

// Longest directory or file path the walk records; deeper entries are skipped.
constexpr std::size_t walk_path_limit = 3327;
// Deepest directory level the walk enters; a deeper directory is recorded but
// not entered (each open level holds a directory handle).
constexpr int walk_depth_limit = 400;

// Walks the directory path ("\" for the root) of the current drive into the volume
// file, which is open for update and positioned at its end. Returns non-zero once
// the directory has no more entries or cannot be listed; callers do not use it.
// left_out: host paths, spelled from the walk's root as the walk reaches them,
// of entries that are not recorded (Shelvo's own folders on a drive that holds
// them); each one met is named in run_report.left_out.
int scan_directory(std::string_view path, File& volume_file, const std::vector<std::string>& left_out = {});

// True for names the walk hands to the archive readers ("*.ZIP", "*.A01", ...).
// name is upper-cased.
bool is_archive_candidate(std::string_view name);

} // namespace shelvo
