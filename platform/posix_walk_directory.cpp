#include "platform/walk_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace shelvo {

namespace {

// What a device, FIFO or socket is called, directly or through a link; nullptr
// for anything else.
const char* special_kind(mode_t mode, bool through_link) {
  if (S_ISFIFO(mode)) return through_link ? "a link to a FIFO" : "a FIFO";
  if (S_ISSOCK(mode)) return through_link ? "a link to a socket" : "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return through_link ? "a link to a device" : "a device";
  return nullptr;
}

} // namespace

WalkDirectory::~WalkDirectory() {
  if (handle_) ::closedir(static_cast<DIR*>(handle_));
}

bool WalkDirectory::open(const std::string& host_path, int& error) {
  handle_ = ::opendir(host_path.c_str());
  error = handle_ ? 0 : errno;
  return handle_ != nullptr;
}

bool WalkDirectory::next(WalkEntry& entry) {
  DIR* dir = static_cast<DIR*>(handle_);
  const dirent* e = nullptr;
  do {
    if (!dir || !(e = ::readdir(dir))) return false;
  } while (std::string_view(e->d_name) == "." || std::string_view(e->d_name) == "..");
  entry = WalkEntry{};
  entry.name = e->d_name;
  const int dir_fd = ::dirfd(dir);
  struct stat st;
  if (::fstatat(dir_fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    entry.kind = WalkEntry::Kind::unreadable;
    entry.error = errno;
    return true;
  }
  const bool link = S_ISLNK(st.st_mode);
  if (link) {
    // A link to a regular file is that file; links to anything else are never
    // followed, so a walk cannot loop or leave the volume through one.
    if (::fstatat(dir_fd, e->d_name, &st, 0) != 0) return true;
    if (S_ISDIR(st.st_mode)) return true;
  }
  if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
    // Devices, FIFOs and sockets are never opened: a read could block or never end.
    entry.special = special_kind(st.st_mode, link);
    if (entry.special) entry.kind = WalkEntry::Kind::special;
    return true;
  }
  entry.kind = S_ISDIR(st.st_mode) ? WalkEntry::Kind::directory : WalkEntry::Kind::file;
  entry.size = static_cast<std::uint64_t>(st.st_size);
  entry.modified = st.st_mtime;
  entry.device = static_cast<std::uint64_t>(st.st_dev);
  return true;
}

bool WalkDirectory::root_device(const std::string& host_path, std::uint64_t& device) {
  struct stat root;
  if (::stat(host_path.c_str(), &root) != 0) return false;
  device = static_cast<std::uint64_t>(root.st_dev);
  return true;
}

} // namespace shelvo
