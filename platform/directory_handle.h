// A directory opened once. The files inside it are named relative to it, so work
// on many of them resolves the directory's path once instead of once per file (a
// name missing under its exact spelling would otherwise cost a scan of the whole
// directory for another letter case). An advisory lock on the directory itself
// lets the programs that share it take turns, without adding a lock file to it:
// programs that cooperate take the lock before they read or change what is
// inside; nothing stops a program that does not. On Windows, which has no lock
// on a directory, the lock is taken on a file of the user's own that stands for
// the directory (by its identity), kept outside it.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_access.h"

namespace shelvo {

class DirectoryHandle {
public:
  DirectoryHandle() = default;
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;
  DirectoryHandle(DirectoryHandle&& other) noexcept;
  DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
  ~DirectoryHandle(); // releases the lock

  // Opens the directory a DOS path names; false with errno set (ENOENT for a
  // drive that does not exist, ENOTDIR for a file).
  bool open(std::string_view dos_path);
  bool is_open() const;
  void close();

  enum class Lock { shared, exclusive };
  enum class LockOutcome { locked, busy, failed, unsupported };

  // Takes the lock, or turns the one held into the other kind, trying again
  // for up to wait while another process holds a conflicting one; keep_waiting,
  // when given, is asked between tries and ends the wait early when false (busy).
  // failed: errno set; unsupported: the file system has no such locks (some
  // network mounts), and nothing is held. Turning one kind into the other is not
  // atomic: another process may take its turn in between, and when it cannot be
  // made (busy) no lock at all is held afterwards.
  LockOutcome lock(Lock kind, std::chrono::milliseconds wait, const std::function<bool()>& keep_waiting = {});
  void unlock();

  // The names in the directory, without "." and ".."; empty when it cannot be read.
  std::vector<std::string> names() const;

  // A file of the directory, opened as File::open_host would (mode "rb" or "r+b").
  File open_file(std::string_view name, const char* mode) const;
  // A new file for reading and writing; fails (EEXIST) on any existing name, a
  // link included.
  File create_new(std::string_view name) const;
  // Renames within the directory: over an existing target only with replace.
  // False with errno set (EEXIST when the target exists and replace is off).
  bool rename(std::string_view from, std::string_view to, bool replace) const;
  bool remove(std::string_view name) const;
  // Puts the directory's names on the disk, as sync_directory does: after the
  // last rename or removal of a change, before the change is reported done.
  bool sync() const;
  bool exists(std::string_view name) const;

  using Identity = FileIdentity;
  // The file a name stands for (a link itself, not what it points to).
  std::optional<Identity> identity(std::string_view name) const;
  // The open directory's own.
  std::optional<Identity> own_identity() const;
  // The device, inode, size and time of what a name stands for (what a link
  // points to, as an open for reading finds it).
  std::optional<FileStatus> status(std::string_view name) const;

private:
#ifdef _WIN32
  std::string path_;              // the directory's host path, while open
  void* directory_ = nullptr;     // a handle that keeps the directory in place
  void* lock_ = nullptr;          // the lock file's handle, while locked
#else
  int fd_ = -1;
#endif
  bool locked_ = false;
};

} // namespace shelvo
