#include "platform/directory_lock.h"

#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

namespace shelvo {

DirectoryLock::DirectoryLock(DirectoryLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

DirectoryLock::~DirectoryLock() { release(); }

void DirectoryLock::release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

DirectoryLock::Outcome DirectoryLock::acquire(std::string_view dos_path, std::chrono::milliseconds wait) {
  release();
  const auto host = resolve_dos_path(dos_path);
  if (!host) {
    errno = ENOENT;
    return Outcome::failed;
  }
  const int fd = ::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Outcome::failed;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fd_ = fd;
      return Outcome::locked;
    }
    const int error = errno;
    if (error != EWOULDBLOCK && error != EINTR) {
      ::close(fd);
      errno = error;
      // Network file systems that emulate these locks want a descriptor open
      // for writing, which a directory cannot have (EBADF there).
      const bool unsupported = error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EBADF;
      return unsupported ? Outcome::unsupported : Outcome::failed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return Outcome::busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

} // namespace shelvo
