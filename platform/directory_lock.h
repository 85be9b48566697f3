// An exclusive advisory lock between processes on a directory, held for as long
// as the object lives. The directory itself is locked, so nothing is added to
// it. Programs that cooperate take the lock before they change what is inside;
// nothing stops a program that does not.
#pragma once

#include <chrono>
#include <string_view>

namespace shelvo {

class DirectoryLock {
public:
  DirectoryLock() = default;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  DirectoryLock(DirectoryLock&& other) noexcept;
  DirectoryLock& operator=(DirectoryLock&& other) noexcept;
  ~DirectoryLock();

  enum class Outcome { locked, busy, failed, unsupported };

  // Locks the directory at dos_path, trying again for up to wait while another
  // process holds it. busy: still held when the wait ended; failed: the
  // directory cannot be opened (errno set); unsupported: its file system has no
  // such locks (some network mounts), and nothing is held.
  Outcome acquire(std::string_view dos_path, std::chrono::milliseconds wait);

  bool held() const { return fd_ >= 0; }
  void release();

private:
  int fd_ = -1;
};

} // namespace shelvo
