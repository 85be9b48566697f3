// The volume walk: records a mounted volume depth first as directory and file
// records, with the members of every archive it meets.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_access.h"

namespace shelvo {

// Longest directory path the walk records: the longest a search holds
// (max_directory_path), so that every directory it records can be found and
// its files reached again. A directory with a longer path is left out with
// everything in it, and counted. At two characters a level at least, the path
// limit also bounds how deep the walk goes.
constexpr std::size_t walk_path_limit = 259;
// Longest path of an archive whose members the walk lists: the longest archive
// path a search holds (max_archive_path), so that every member is shown under
// its own archive. A deeper archive is recorded as a file, and its members are
// counted as left out.
constexpr std::size_t walk_archive_path_limit = 255;

// Walks the directory path ("\" for the root) of the current drive into the volume
// file, which is open for update and positioned at its end. Returns non-zero once
// the directory has no more entries or cannot be listed; callers do not use it.
// left_out: host paths, spelled from the walk's root as the walk reaches them,
// of entries that are not recorded (Shelvo's own folders on a drive that holds
// them); each one met is named in run_report.left_out.
int scan_directory(std::string_view path, File& volume_file, const std::vector<std::string>& left_out = {});

// Called with each entry an add leaves out, as the walk meets it: its path and
// why, as UTF-8 with control characters shown as '?'. An empty function (the
// default) tells no one; the count and the first entry are in run_report.
void set_left_out_listener(std::function<void(std::string_view)> listener);

// True for names the walk hands to the archive readers ("*.ZIP", "*.A01", ...).
// name is upper-cased.
bool is_archive_candidate(std::string_view name);

} // namespace shelvo
