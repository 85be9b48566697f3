// File access on a POSIX host: descriptors opened relative to directories,
// without waiting and without following links where a file is written.
#include "platform/fault_injection.h"
#include "platform/file_access.h"
#include "platform/host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace shelvo {

namespace {

// What a name relative to an open directory stands for (a link itself); all
// zero when there is nothing. For the record of file operations only.
FileIdentity identity_at(int directory_fd, const std::string& name) {
  struct stat st;
  if (::fstatat(directory_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The directory that holds a name relative to an open directory.
FileIdentity holder_at(int directory_fd, const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) return identity_at(directory_fd, ".");
  return identity_at(directory_fd, slash == 0 ? std::string("/") : name.substr(0, slash));
}

void record_at(RecordedOperation::Kind kind, int directory_fd, const std::string& name, FileIdentity file) {
  const FileIdentity holder = holder_at(directory_fd, name);
  record_operation({kind, file, holder, holder, name});
}

} // namespace

namespace host {

Kind kind_of(const std::string& path, bool follow) {
  struct stat st;
  if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return Kind::missing;
  return S_ISREG(st.st_mode) ? Kind::regular : S_ISDIR(st.st_mode) ? Kind::directory : Kind::other;
}

std::optional<FileIdentity> identity_of(const std::string& path, bool follow) {
  struct stat st;
  if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool make_directory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) return false;
  if (recording_operations())
    record_at(RecordedOperation::Kind::make_directory, AT_FDCWD, path, identity_at(AT_FDCWD, path));
  return true;
}

bool remove_at(int directory_fd, const std::string& name) {
  const FileIdentity file = recording_operations() ? identity_at(directory_fd, name) : FileIdentity{};
  if (::unlinkat(directory_fd, name.c_str(), 0) != 0) return false;
  if (recording_operations()) record_at(RecordedOperation::Kind::remove, directory_fd, name, file);
  return true;
}

bool remove_file(const std::string& path) { return remove_at(AT_FDCWD, path); }

bool rename(const std::string& from, const std::string& to, bool replace) {
  return rename_in(AT_FDCWD, from, AT_FDCWD, to, replace);
}

bool list_directory(const std::string& path, std::vector<std::string>& names, int& error) {
  names.clear();
  DIR* dir = ::opendir(path.c_str());
  if (!dir) {
    error = errno;
    return false;
  }
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  error = 0;
  return true;
}

std::optional<std::string> find_ignoring_case(const std::string& dir, const std::string& component) {
  DIR* d = ::opendir(dir.empty() ? "/" : dir.c_str());
  if (!d) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, component.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::optional<std::string> real_path(const std::string& path) {
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return std::nullopt;
  return std::string(resolved);
}

} // namespace host

namespace {

// A stream over an open descriptor, with a large buffer: records are written one
// at a time. Only a regular file is one here: a directory "reads" on some hosts,
// and a FIFO or a device may never end. size: the file's size at the open.
std::FILE* stream_over(int fd, const char* mode, int& error, std::int64_t& size) {
  struct stat st;
  const bool known = ::fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    error = !known ? errno : S_ISDIR(st.st_mode) ? EISDIR : not_a_regular_file;
    ::close(fd);
    return nullptr;
  }
  size = static_cast<std::int64_t>(st.st_size);
  std::FILE* f = ::fdopen(fd, mode);
  if (!f) {
    error = errno;
    ::close(fd);
    return nullptr;
  }
  std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
  return f;
}

} // namespace

File File::open_host(const std::string& host_path, const char* mode) { return open_in(AT_FDCWD, host_path, mode); }

File File::open_in(int directory_fd, const std::string& name, const char* mode) {
  const std::string_view m(mode);
  // A file written is written under its own name: never through a link to
  // another file, nor creating a dangling link's target.
  constexpr int written = O_NOFOLLOW;
  int flags = 0;
  const char* stream_mode = mode;
  if (m == "rb") flags = O_RDONLY;
  else if (m == "r+b") flags = O_RDWR | written;
  else if (m == "wb") flags = O_WRONLY | O_CREAT | O_TRUNC | written;
  else if (m == "w+b") flags = O_RDWR | O_CREAT | O_TRUNC | written;
  // The comma sets both in the one branch that needs both: "at" is the only mode
  // whose stdio form differs ("a": text is binary here).
  else if (m == "at") flags = O_WRONLY | O_CREAT | O_APPEND | written, stream_mode = "a";
  else return failure(EINVAL);
  if (fault_injected(FileOperation::open)) return failure(errno);
  // Opening a FIFO or a device may wait for ever; with O_NONBLOCK it returns at
  // once, and the type of what was opened is checked before anything is read.
  const int fd = ::openat(directory_fd, name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return failure(errno);
  int error = 0;
  std::int64_t size = 0;
  std::FILE* f = stream_over(fd, stream_mode, error, size);
  return f ? File(f, m == "rb" ? size : -1) : failure(error);
}

File File::create_new_host(const std::string& host_path) { return create_new_in(AT_FDCWD, host_path); }

File File::create_new_in(int directory_fd, const std::string& name) {
  if (fault_injected(FileOperation::open)) return failure(errno);
  const int fd = ::openat(directory_fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return failure(errno);
  if (recording_operations())
    record_at(RecordedOperation::Kind::create, directory_fd, name, identity_at(directory_fd, name));
  int error = 0;
  std::int64_t size = 0;
  std::FILE* f = stream_over(fd, "w+b", error, size);
  return f ? File(f, -1) : failure(error);
}

void WindowedFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

WindowedFile WindowedFile::open_host(const std::string& host_path) {
  WindowedFile file;
  if (fault_injected(FileOperation::open)) {
    file.error_ = errno;
    return file;
  }
  // As for File: the open never waits, and only a regular file is read (a name
  // swapped for a FIFO between the walk's look and this open would hang it).
  const int fd = ::open(host_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    file.error_ = errno;
    return file;
  }
  struct stat st;
  const bool known = ::fstat(fd, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    file.error_ = !known ? errno : S_ISDIR(st.st_mode) ? EISDIR : not_a_regular_file;
    ::close(fd);
    return file;
  }
  file.fd_ = fd;
  file.size_ = static_cast<std::uint64_t>(st.st_size);
  return file;
}

namespace {

// Reads at a position of its own, as often as it takes; what a failed read
// leaves is in error, and what was read before it is still returned.
std::size_t read_descriptor_at(int fd, std::uint64_t at, std::span<char> out, int& error) {
  std::size_t done = 0;
  while (done < out.size()) {
    if (fault_injected(FileOperation::read)) {
      error = errno;
      break;
    }
    const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(at + done));
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0) {
      break; // the end, sooner than the length said: the file shrank
    } else if (errno != EINTR) {
      error = errno;
      break;
    }
  }
  return done;
}

} // namespace

std::size_t WindowedFile::read_directly(std::uint64_t at, std::span<char> out) {
  if (failed_) return 0;
  int error = 0;
  const std::size_t done = read_descriptor_at(fd_, at, out, error);
  if (error != 0) {
    failed_ = true;
    error_ = error;
  }
  return done;
}

bool rename_host(const std::string& from, const std::string& to, bool replace) {
  return rename_in(AT_FDCWD, from, AT_FDCWD, to, replace);
}

namespace {

bool rename_names(int from_directory_fd, const std::string& from, int to_directory_fd, const std::string& to,
                  bool replace);

} // namespace

bool rename_in(int from_directory_fd, const std::string& from, int to_directory_fd, const std::string& to,
               bool replace) {
  if (fault_injected(FileOperation::rename)) return false;
  if (!recording_operations()) return rename_names(from_directory_fd, from, to_directory_fd, to, replace);
  const FileIdentity moved = identity_at(from_directory_fd, from);
  const FileIdentity source = holder_at(from_directory_fd, from);
  if (!rename_names(from_directory_fd, from, to_directory_fd, to, replace)) return false;
  record_operation({RecordedOperation::Kind::rename, moved, holder_at(to_directory_fd, to), source, to});
  return true;
}

namespace {

bool rename_names(int from_directory_fd, const std::string& from, int to_directory_fd, const std::string& to,
                  bool replace) {
  const char* f = from.c_str();
  const char* t = to.c_str();
  if (replace) return ::renameat(from_directory_fd, f, to_directory_fd, t) == 0;
  if (::renameat2(from_directory_fd, f, to_directory_fd, t, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the atomic form (some network and FAT mounts): a hard
  // link fails on an existing target just the same; where links are not
  // supported either, check and rename, which the catalog's lock keeps safe
  // from Shelvo's other writers.
  if (::linkat(from_directory_fd, f, to_directory_fd, t, 0) == 0) {
    // The target is in place. Should the process die before the old name goes,
    // one file stands under both names; a catalog's next writer sees to that.
    ::unlinkat(from_directory_fd, f, 0);
    return true;
  }
  if (errno == EEXIST) return false;
  struct stat st;
  if (::fstatat(to_directory_fd, t, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::renameat(from_directory_fd, f, to_directory_fd, t) == 0;
}

} // namespace

std::size_t File::read_at(std::uint64_t at, std::span<char> out) {
  if (!stream_ || out.empty()) return 0;
  if (read_limit_ >= 0) {
    const auto limit = static_cast<std::uint64_t>(read_limit_);
    if (at >= limit) return 0;
    out = out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), limit - at)));
  }
  int error = 0;
  const std::size_t done = read_descriptor_at(::fileno(stream_), at, out, error);
  if (error != 0) fail(error);
  return done;
}

namespace {

FileStatus status_of(const struct stat& st) {
  FileStatus status;
  status.device = st.st_dev;
  status.inode = st.st_ino;
  status.size = static_cast<std::uint64_t>(st.st_size);
  status.modified_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return status;
}

} // namespace

std::optional<FileStatus> File::status() const {
  struct stat st;
  if (!stream_ || ::fstat(::fileno(stream_), &st) != 0) return std::nullopt;
  return status_of(st);
}

std::optional<FileStatus> host_file_status(const std::string& host_path) {
  return host_file_status_at(AT_FDCWD, host_path, false);
}

std::optional<FileStatus> host_file_status_at(int directory_fd, const std::string& name, bool follow_links) {
  struct stat st;
  if (::fstatat(directory_fd, name.c_str(), &st, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return status_of(st);
}

bool create_host_directories(const std::string& host_path) {
  struct stat st;
  if (::stat(host_path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::size_t slash = host_path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !create_host_directories(host_path.substr(0, slash))) return false;
  return ::mkdir(host_path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool remove_host_file(const std::string& host_path) {
  return !fault_injected(FileOperation::remove) && host::remove_file(host_path);
}

bool File::sync() {
  if (!stream_) {
    fail(EBADF);
    return false;
  }
  if (failed_) return false;
  if (fault_injected(FileOperation::sync)) {
    fail(errno);
    return false;
  }
  if (std::fflush(stream_) != 0) {
    fail(errno ? errno : EIO);
    return false;
  }
  // The data and the size that reads it back; the times need not wait for the
  // disk (what SQLite and git ask too).
  const int fd = ::fileno(stream_);
  int done = 0;
  do done = ::fdatasync(fd);
  while (done != 0 && errno == EINTR);
  if (done != 0) {
    fail(errno);
    return false;
  }
  if (recording_operations())
    if (const auto s = status()) record_operation({RecordedOperation::Kind::sync, {s->device, s->inode}, {}, {}, ""});
  return true;
}

bool host::sync_open_directory(int fd) {
  if (fault_injected(FileOperation::sync_directory)) return false;
  int done = 0;
  do done = ::fsync(fd);
  while (done != 0 && errno == EINTR);
  // EINVAL: a file system that cannot flush a directory, and keeps nothing
  // back to flush (as SQLite takes it).
  if (done != 0 && errno != EINVAL) return false;
  if (recording_operations()) {
    const FileIdentity directory = identity_at(fd, ".");
    record_operation({RecordedOperation::Kind::sync_directory, directory, {}, {}, ""});
  }
  return true;
}

bool sync_host_directory(const std::string& host_path) {
  const int fd = ::open(host_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = host::sync_open_directory(fd);
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

} // namespace shelvo
