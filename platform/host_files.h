// What the file access asks of the host it runs on, below the DOS paths: one
// implementation for POSIX systems (posix_file_access.cpp) and one for Windows
// (win32_file_access.cpp). Host paths are UTF-8 on both; on Windows they become
// UTF-16 only inside these calls, and '/' and '\' both separate there.
#pragma once

#include "platform/file_access.h"

#include <optional>
#include <string>
#include <vector>

namespace shelvo::host {

enum class Kind { missing, regular, directory, other };

// What a name is. follow: through a symbolic link (a reparse point) to what it
// names; otherwise a link is `other`. errno says why for `missing`.
Kind kind_of(const std::string& path, bool follow);
// The identity of what a name is (through links when follow).
std::optional<FileIdentity> identity_of(const std::string& path, bool follow);
// These set errno on failure.
bool make_directory(const std::string& path);
bool remove_file(const std::string& path);
bool rename(const std::string& from, const std::string& to, bool replace);
#ifndef _WIN32
// Removes a name relative to an open directory (AT_FDCWD: the current one).
bool remove_at(int directory_fd, const std::string& name);
// Flushes the names of an open directory to the disk (see sync_directory).
bool sync_open_directory(int directory_fd);
#endif
// The names in a directory, without "." and ".."; false with error set.
bool list_directory(const std::string& path, std::vector<std::string>& names, int& error);
// The entry of dir whose name equals component without regard to letter case.
std::optional<std::string> find_ignoring_case(const std::string& dir, const std::string& component);
// The absolute path with every link resolved; empty, with errno set, when it
// cannot be had (the path does not exist).
std::optional<std::string> real_path(const std::string& path);

} // namespace shelvo::host
