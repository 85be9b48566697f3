#include "platform/directory_handle.h"

#include "platform/fault_injection.h"
#include "platform/host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <utility>

namespace shelvo {

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), locked_(std::exchange(other.locked_, false)) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    locked_ = std::exchange(other.locked_, false);
  }
  return *this;
}

DirectoryHandle::~DirectoryHandle() { close(); }

bool DirectoryHandle::is_open() const { return fd_ >= 0; }

bool DirectoryHandle::open(std::string_view dos_path) {
  close();
  const auto host = resolve_dos_path(dos_path);
  if (!host) {
    errno = ENOENT;
    return false;
  }
  fd_ = ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0;
}

void DirectoryHandle::close() {
  unlock();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void DirectoryHandle::unlock() {
  if (locked_) ::flock(fd_, LOCK_UN);
  locked_ = false;
}

DirectoryHandle::LockOutcome DirectoryHandle::lock(Lock kind, std::chrono::milliseconds wait,
                                                   const std::function<bool()>& keep_waiting) {
  if (fd_ < 0) {
    errno = EBADF;
    return LockOutcome::failed;
  }
  const int operation = (kind == Lock::shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd_, operation) == 0) {
      locked_ = true;
      return LockOutcome::locked;
    }
    const int error = errno;
    if (error != EWOULDBLOCK && error != EINTR) {
      errno = error;
      // Network file systems that emulate these locks want a descriptor open
      // for writing, which a directory cannot have (EBADF there).
      const bool unsupported = error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EBADF;
      return unsupported ? LockOutcome::unsupported : LockOutcome::failed;
    }
    if (std::chrono::steady_clock::now() >= deadline || (keep_waiting && !keep_waiting())) {
      // A conversion that could not be made may have let the lock held go:
      // none is held then, rather than one that may or may not be.
      unlock();
      return LockOutcome::busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::vector<std::string> DirectoryHandle::names() const {
  std::vector<std::string> names;
  if (fd_ < 0) return names;
  // The listing reads through a descriptor of its own, from the start.
  const int copy = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (copy < 0) return names;
  DIR* dir = ::fdopendir(copy);
  if (!dir) {
    ::close(copy);
    return names;
  }
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

File DirectoryHandle::open_file(std::string_view name, const char* mode) const {
  return File::open_in(fd_, std::string(name), mode);
}

File DirectoryHandle::create_new(std::string_view name) const { return File::create_new_in(fd_, std::string(name)); }

bool DirectoryHandle::rename(std::string_view from, std::string_view to, bool replace) const {
  return rename_in(fd_, std::string(from), fd_, std::string(to), replace);
}

bool DirectoryHandle::remove(std::string_view name) const {
  if (fault_injected(FileOperation::remove)) return false;
  return host::remove_at(fd_, std::string(name));
}

bool DirectoryHandle::sync() const {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  return host::sync_open_directory(fd_);
}

bool DirectoryHandle::exists(std::string_view name) const { return identity(name).has_value(); }

std::optional<DirectoryHandle::Identity> DirectoryHandle::identity(std::string_view name) const {
  struct stat st {};
  if (::fstatat(fd_, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return Identity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<FileStatus> DirectoryHandle::status(std::string_view name) const {
  return host_file_status_at(fd_, std::string(name), true);
}

std::optional<DirectoryHandle::Identity> DirectoryHandle::own_identity() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
  return Identity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace shelvo
