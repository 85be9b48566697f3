// The directory handle on Windows: files inside are named by the directory's
// path (this host has no call relative to an open directory), and the lock is a
// byte-range lock on a file that stands for the directory outside it, since
// LockFileEx refuses a directory's handle.
#include "platform/directory_handle.h"

#include "platform/fault_injection.h"
#include "platform/host_files.h"
#include "platform/win32_text.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

namespace shelvo {

namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE handle_of(void* h) { return static_cast<HANDLE>(h); }

// The file whose lock stands for a directory: one per directory identity, in the
// user's local application data, so that the catalog directory itself holds
// nothing but volume files.
std::string lock_file_path(const FileIdentity& identity) {
  const char* base = std::getenv("LOCALAPPDATA");
  if (!base || !*base) base = std::getenv("TEMP");
  std::string directory = std::string(base ? base : ".") + "/Shelvo";
  host::make_directory(directory);
  directory += "/locks";
  host::make_directory(directory);
  char name[40];
  std::snprintf(name, sizeof name, "/%08llx-%016llx", static_cast<unsigned long long>(identity.device),
                static_cast<unsigned long long>(identity.index));
  return directory + name;
}

} // namespace

DirectoryHandle::DirectoryHandle(DirectoryHandle&& other) noexcept
    : path_(std::move(other.path_)), directory_(std::exchange(other.directory_, nullptr)),
      lock_(std::exchange(other.lock_, nullptr)), locked_(std::exchange(other.locked_, false)) {}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
  if (this != &other) {
    close();
    path_ = std::move(other.path_);
    directory_ = std::exchange(other.directory_, nullptr);
    lock_ = std::exchange(other.lock_, nullptr);
    locked_ = std::exchange(other.locked_, false);
  }
  return *this;
}

DirectoryHandle::~DirectoryHandle() { close(); }

bool DirectoryHandle::is_open() const { return directory_ != nullptr; }

bool DirectoryHandle::open(std::string_view dos_path) {
  close();
  const auto host = resolve_dos_path(dos_path);
  if (!host) {
    errno = ENOENT;
    return false;
  }
  // No access to the data: the handle only keeps the directory and tells its
  // identity, and no one's sharing is in its way.
  const HANDLE h = ::CreateFileW(wide_of(*host).c_str(), FILE_READ_ATTRIBUTES, share_all, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail_with_last_error();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(h);
    errno = ENOTDIR;
    return false;
  }
  directory_ = h;
  path_ = *host;
  return true;
}

void DirectoryHandle::close() {
  unlock();
  if (directory_) ::CloseHandle(handle_of(directory_));
  directory_ = nullptr;
  path_.clear();
}

void DirectoryHandle::unlock() {
  if (lock_) {
    OVERLAPPED at{};
    if (locked_) ::UnlockFileEx(handle_of(lock_), 0, 1, 0, &at);
    ::CloseHandle(handle_of(lock_));
  }
  lock_ = nullptr;
  locked_ = false;
}

DirectoryHandle::LockOutcome DirectoryHandle::lock(Lock kind, std::chrono::milliseconds wait,
                                                   const std::function<bool()>& keep_waiting) {
  const auto identity = own_identity();
  if (!identity) {
    errno = EBADF;
    return LockOutcome::failed;
  }
  // A lock of the other kind is let go first: this host converts none.
  unlock();
  const HANDLE file = ::CreateFileW(wide_of(lock_file_path(*identity)).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    share_all, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fail_with_last_error();
    return LockOutcome::failed;
  }
  lock_ = file;
  const DWORD flags = (kind == Lock::exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    OVERLAPPED at{};
    if (::LockFileEx(file, flags, 0, 1, 0, &at)) {
      locked_ = true;
      return LockOutcome::locked;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      unlock();
      errno = errno_of_windows_error(error);
      return LockOutcome::failed;
    }
    if (std::chrono::steady_clock::now() >= deadline || (keep_waiting && !keep_waiting())) {
      unlock();
      return LockOutcome::busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::vector<std::string> DirectoryHandle::names() const {
  std::vector<std::string> names;
  int error = 0;
  if (is_open()) host::list_directory(path_, names, error);
  return names;
}

namespace {

std::string inside(const std::string& directory, std::string_view name) {
  return directory + (directory.ends_with('/') || directory.ends_with('\\') ? "" : "/") + std::string(name);
}

} // namespace

File DirectoryHandle::open_file(std::string_view name, const char* mode) const {
  return File::open_host(inside(path_, name), mode);
}

File DirectoryHandle::create_new(std::string_view name) const { return File::create_new_host(inside(path_, name)); }

bool DirectoryHandle::rename(std::string_view from, std::string_view to, bool replace) const {
  return rename_host(inside(path_, from), inside(path_, to), replace);
}

bool DirectoryHandle::remove(std::string_view name) const {
  if (fault_injected(FileOperation::remove)) return false;
  return host::remove_file(inside(path_, name));
}

bool DirectoryHandle::sync() const {
  if (!is_open()) {
    errno = EBADF;
    return false;
  }
  return sync_host_directory(path_);
}

bool DirectoryHandle::exists(std::string_view name) const { return identity(name).has_value(); }

std::optional<DirectoryHandle::Identity> DirectoryHandle::identity(std::string_view name) const {
  if (!is_open()) return std::nullopt;
  return host::identity_of(inside(path_, name), false);
}

std::optional<FileStatus> DirectoryHandle::status(std::string_view name) const {
  if (!is_open()) return std::nullopt;
  return host_file_status(inside(path_, name));
}

std::optional<DirectoryHandle::Identity> DirectoryHandle::own_identity() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!directory_ || !::GetFileInformationByHandle(handle_of(directory_), &info)) return std::nullopt;
  return Identity{info.dwVolumeSerialNumber,
                  (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

} // namespace shelvo
