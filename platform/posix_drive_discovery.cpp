// Drive discovery on a POSIX host: the mounted volumes of the mount table as the
// automatic drives, and file-system labels through libblkid.
#include "platform/drive_discovery.h"

#include <blkid/blkid.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace shelvo {

namespace {

// The kernel writes space, tab, newline and backslash in mount fields as \ooo.
std::string unescape_mount_field(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto octal = [&](std::size_t k) { return k < field.size() && field[k] >= '0' && field[k] <= '7'; };
    if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

// Mount points of the system itself: not volumes a user adds to a catalog.
bool is_system_mount_point(std::string_view mp) {
  if (mp == "/") return true;
  if (path_is_under(mp, "/run/media")) return false;
  for (std::string_view dir : {"/proc", "/sys", "/dev", "/run", "/boot", "/efi", "/snap", "/var", "/usr",
                               "/tmp", "/etc", "/opt", "/srv", "/root"})
    if (path_is_under(mp, dir)) return true;
  return false;
}

} // namespace

std::vector<MountEntry> read_mount_table(const std::string& path) {
  std::vector<MountEntry> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, mount_point, type;
    if (!(fields >> device >> mount_point >> type)) continue;
    out.push_back({unescape_mount_field(device), unescape_mount_field(mount_point), type});
  }
  return out;
}

bool is_pseudo_file_system(std::string_view type) {
  static constexpr std::string_view pseudo[] = {
      "proc",      "sysfs",      "tmpfs",     "devtmpfs",   "devpts",    "cgroup",   "cgroup2",
      "overlay",   "squashfs",   "securityfs", "pstore",    "bpf",       "debugfs",  "tracefs",
      "mqueue",    "hugetlbfs",  "fusectl",   "configfs",   "autofs",    "binfmt_misc", "rpc_pipefs",
      "nsfs",      "efivarfs",   "ramfs",     "selinuxfs",  "nfsd",      "fuse.gvfsd-fuse", "fuse.portal",
      "fuse.lxcfs", "fuse.snapfuse", "devfs", "none",       "swap",      "rootfs"};
  return std::find(std::begin(pseudo), std::end(pseudo), type) != std::end(pseudo);
}

DriveTable build_automatic_table(const std::string& mount_table_path, const std::string& home,
                                 const std::string& data_home) {
  DriveTable table;
  table.set({'C', data_home + "/shelvo/drive_c", std::nullopt});
  create_drive_c(table);
  if (!home.empty()) table.set({'D', home, std::nullopt});

  std::vector<std::string> seen;
  char letter = 'E';
  for (const MountEntry& m : read_mount_table(mount_table_path)) {
    if (letter > 'Z') break;
    if (is_pseudo_file_system(m.type) || is_system_mount_point(m.mount_point)) continue;
    if (m.mount_point == home || std::find(seen.begin(), seen.end(), m.mount_point) != seen.end()) continue;
    seen.push_back(m.mount_point);
    table.set({letter, m.mount_point, std::nullopt});
    ++letter;
  }
  return table;
}


DriveTable automatic_drive_table(const std::string& home, const std::string& data_home) {
  return build_automatic_table("/proc/self/mounts", home, data_home);
}

std::string file_system_label(const std::string& directory) {
  for (const MountEntry& m : read_mount_table("/proc/self/mounts")) {
    if (m.mount_point != directory || m.device.rfind("/dev/", 0) != 0) continue;
    blkid_cache cache = nullptr;
    if (blkid_get_cache(&cache, "/dev/null") != 0) return {};
    std::unique_ptr<char, decltype(&std::free)> value(blkid_get_tag_value(cache, "LABEL", m.device.c_str()),
                                                      &std::free);
    blkid_put_cache(cache);
    return value ? std::string(value.get()) : std::string();
  }
  return {};
}

} // namespace shelvo
