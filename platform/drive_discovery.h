// Where the drives of the automatic table and the labels of volumes come from,
// one implementation per host: on POSIX systems the mount table and the
// file systems' labels (libblkid); on Windows the real drive letters and their
// volume labels.
#pragma once

#include "platform/drive_table.h"

#include <string>
#include <string_view>
#include <vector>

namespace shelvo {

// The table used when neither SHELVO_DRIVES nor a drives file gives one.
DriveTable automatic_drive_table(const std::string& home, const std::string& data_home);

// The label of the file system whose root is directory; "" when it has none or
// directory is no such root.
std::string file_system_label(const std::string& directory);

// Creates the directory of drive C, level by level, when it is missing.
void create_drive_c(const DriveTable& table);

// True when path is dir or lies below it ('/' separated).
bool path_is_under(std::string_view path, std::string_view dir);

#ifndef _WIN32
// One line of a mount table, with the octal escapes of the kernel undone.
struct MountEntry {
  std::string device;
  std::string mount_point;
  std::string type;
};
std::vector<MountEntry> read_mount_table(const std::string& path);

// True for the file-system types a user never catalogues (proc, tmpfs, overlay...).
bool is_pseudo_file_system(std::string_view type);

// Builds the automatic table: C: = data_dir/shelvo/drive_c (created), D: = home,
// E: onward the mounts of mount_table_path that a user would catalogue.
DriveTable build_automatic_table(const std::string& mount_table_path, const std::string& home,
                                 const std::string& data_home);

#endif

} // namespace shelvo
