#include "platform/file_access.h"

#include "platform/drive_table.h"
#include "platform/fault_injection.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace shelvo {

namespace {

bool exists_host(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals component without regard to letter case.
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

std::vector<std::string> split_components(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

std::optional<std::string> resolve_under_root(const std::string& root, std::string_view rest) {
  const std::string base = root == "/" ? std::string() : root;
  std::string host = base;
  bool missing = false; // once a component is missing, the rest is spelled as given
  for (const std::string& c : split_components(rest)) {
    if (c == ".") continue;
    if (c == "..") { // never above the drive's root
      if (host.size() > base.size()) host.resize(host.find_last_of('/'));
      continue;
    }
    std::string candidate = host + "/" + c;
    if (!missing && !exists_host(candidate)) {
      if (auto other = find_ignoring_case(host, c)) candidate = host + "/" + *other;
      else missing = true;
    }
    host = std::move(candidate);
  }
  return host.empty() ? std::string("/") : host;
}

} // namespace

std::optional<std::string> resolve_dos_path(std::string_view dos_path) {
  if (dos_path.size() >= 2 && dos_path[1] == ':' &&
      ((dos_path[0] >= 'A' && dos_path[0] <= 'Z') || (dos_path[0] >= 'a' && dos_path[0] <= 'z'))) {
    const Drive* drive = drive_table().find(dos_path[0]);
    if (!drive) return std::nullopt;
    return resolve_under_root(drive->directory, dos_path.substr(2));
  }
  if (!dos_path.empty() && dos_path[0] == '\\') {
    const Drive* drive = drive_table().find(static_cast<char>('A' + current_drive()));
    if (!drive) return std::nullopt;
    return resolve_under_root(drive->directory, dos_path);
  }
  if (dos_path.empty()) return std::nullopt;
  std::string host(dos_path);
  for (char& c : host)
    if (c == '\\') c = '/';
  return host;
}

File::File(std::FILE* stream, std::int64_t read_limit) : stream_(stream), read_limit_(read_limit) {}

File::File(File&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr)), failed_(std::exchange(other.failed_, false)),
      error_(std::exchange(other.error_, 0)), read_limit_(std::exchange(other.read_limit_, -1)),
      position_(std::exchange(other.position_, 0)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    stream_ = std::exchange(other.stream_, nullptr);
    failed_ = std::exchange(other.failed_, false);
    error_ = std::exchange(other.error_, 0);
    read_limit_ = std::exchange(other.read_limit_, -1);
    position_ = std::exchange(other.position_, 0);
  }
  return *this;
}

File::~File() { close(); }

File File::failure(int error) {
  File f;
  f.error_ = error;
  return f;
}

void File::fail(int error) {
  if (!failed_) error_ = error; // the first failure is the cause
  failed_ = true;
}

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

File File::open(std::string_view dos_path, const char* mode) {
  const auto host = resolve_dos_path(dos_path);
  if (!host) return failure(ENOENT);
  return open_host(*host, mode);
}

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

File File::create_new(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  if (!host) return failure(ENOENT);
  return create_new_in(AT_FDCWD, *host);
}

File File::create_new_in(int directory_fd, const std::string& name) {
  if (fault_injected(FileOperation::open)) return failure(errno);
  const int fd = ::openat(directory_fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return failure(errno);
  int error = 0;
  std::int64_t size = 0;
  std::FILE* f = stream_over(fd, "w+b", error, size);
  return f ? File(f, -1) : failure(error);
}

std::size_t File::read(std::span<char> out) {
  if (!stream_ || out.empty()) return 0;
  if (fault_injected(FileOperation::read)) {
    fail(errno);
    return 0;
  }
  std::size_t wanted = out.size();
  if (read_limit_ >= 0) {
    if (position_ >= read_limit_) return 0;
    wanted = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(wanted), read_limit_ - position_));
  }
  const std::size_t n = std::fread(out.data(), 1, wanted, stream_);
  position_ += static_cast<std::int64_t>(n);
  // A short read is the end of the file or an error; only the error is a failure.
  if (n < wanted && std::ferror(stream_)) fail(errno ? errno : EIO);
  return n;
}

int File::read_byte() {
  if (!stream_ || (read_limit_ >= 0 && position_ >= read_limit_)) return -1;
  const int c = std::fgetc(stream_);
  if (c == EOF && std::ferror(stream_)) fail(errno ? errno : EIO);
  if (c != EOF) ++position_;
  return c == EOF ? -1 : c;
}

bool File::write(std::string_view bytes) {
  if (!stream_) {
    fail(EBADF);
    return false;
  }
  if (bytes.empty()) return true;
  if (fault_injected(FileOperation::write)) fail(errno);
  else if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) fail(errno);
  return !failed_;
}

bool File::seek(std::int64_t offset, int whence) {
  if (!stream_) return false;
  if (read_limit_ >= 0) {
    // The end is where the file ended when it was opened.
    const std::int64_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? position_ + offset : read_limit_ + offset;
    if (target < 0 || ::fseeko(stream_, static_cast<off_t>(target), SEEK_SET) != 0) return false;
    position_ = target;
    return true;
  }
  return ::fseeko(stream_, static_cast<off_t>(offset), whence) == 0;
}

std::int64_t File::tell() {
  if (!stream_) return -1;
  return static_cast<std::int64_t>(::ftello(stream_));
}

std::size_t File::read_at(std::uint64_t at, std::span<char> out) {
  if (!stream_ || out.empty()) return 0;
  if (read_limit_ >= 0) {
    const auto limit = static_cast<std::uint64_t>(read_limit_);
    if (at >= limit) return 0;
    out = out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), limit - at)));
  }
  const int fd = ::fileno(stream_);
  std::size_t done = 0;
  while (done < out.size()) {
    if (fault_injected(FileOperation::read)) {
      fail(errno);
      break;
    }
    const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(at + done));
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n == 0) break;
    else if (errno != EINTR) {
      fail(errno);
      break;
    }
  }
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
  return !fault_injected(FileOperation::remove) && ::unlink(host_path.c_str()) == 0;
}

bool File::close() {
  if (!stream_) return !failed_;
  if (fault_injected(FileOperation::close)) fail(errno);
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) fail(errno ? errno : EIO);
  if (std::fclose(stream_) != 0) fail(errno);
  stream_ = nullptr;
  return !failed_;
}

namespace {

// A read after a jump fills a small window, as the next header is often near;
// reads that go on forward double it up to the largest, so that a run of small
// members costs one system call for many of them.
constexpr std::size_t smallest_window = 4096;
constexpr std::size_t largest_window = 65536;

} // namespace

WindowedFile::WindowedFile(WindowedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), window_(std::move(other.window_)),
      window_at_(other.window_at_), window_length_(std::exchange(other.window_length_, 0)),
      last_fill_(other.last_fill_), failed_(other.failed_), error_(other.error_) {}

WindowedFile& WindowedFile::operator=(WindowedFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = other.size_;
    window_ = std::move(other.window_);
    window_at_ = other.window_at_;
    window_length_ = std::exchange(other.window_length_, 0);
    last_fill_ = other.last_fill_;
    failed_ = other.failed_;
    error_ = other.error_;
  }
  return *this;
}

WindowedFile::~WindowedFile() { close(); }

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

std::size_t WindowedFile::read_directly(std::uint64_t at, std::span<char> out) {
  std::size_t done = 0;
  while (done < out.size() && !failed_) {
    if (fault_injected(FileOperation::read)) {
      failed_ = true;
      error_ = errno;
      break;
    }
    const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(at + done));
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0) {
      break; // the end, sooner than the length said: the file shrank
    } else if (errno != EINTR) {
      failed_ = true;
      error_ = errno;
    }
  }
  return done;
}

bool WindowedFile::fill_window(std::uint64_t at, std::size_t wanted) {
  const std::uint64_t window_end = window_at_ + window_length_;
  const bool forward = window_length_ > 0 && at >= window_at_ && at <= window_end + largest_window;
  const std::size_t length = std::max(forward ? std::min(2 * last_fill_, largest_window) : smallest_window, wanted);
  if (window_.size() < length) window_.resize(length);
  window_length_ = 0; // a failed read leaves nothing in it
  window_at_ = at;
  last_fill_ = length;
  window_length_ = read_directly(at, std::span<char>(window_.data(), length));
  return !failed_;
}

std::size_t WindowedFile::read_at(std::uint64_t at, std::span<char> out) {
  if (fd_ < 0 || failed_ || at >= size_ || out.empty()) return 0;
  out = out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), size_ - at)));
  if (out.size() >= largest_window) return read_directly(at, out); // larger than any window
  const bool inside = at >= window_at_ && at + out.size() <= window_at_ + window_length_;
  if (!inside && !fill_window(at, out.size())) return 0;
  const std::size_t available = static_cast<std::size_t>(
      std::min<std::uint64_t>(out.size(), window_at_ + window_length_ - std::min(at, window_at_ + window_length_)));
  std::copy_n(window_.data() + (at - window_at_), available, out.data());
  return available;
}

namespace {

// The host path of a DOS path, or nullopt with errno = ENOENT (no such drive).
std::optional<std::string> host_or_enoent(std::string_view dos_path) {
  auto host = resolve_dos_path(dos_path);
  if (!host) errno = ENOENT;
  return host;
}

} // namespace

bool create_directory(std::string_view dos_path) {
  const auto host = host_or_enoent(dos_path);
  return host && ::mkdir(host->c_str(), 0777) == 0;
}

bool delete_file(std::string_view dos_path) {
  const auto host = host_or_enoent(dos_path);
  return host && !fault_injected(FileOperation::remove) && ::unlink(host->c_str()) == 0;
}

bool rename_file(std::string_view from_dos_path, std::string_view to_dos_path) {
  const auto from = host_or_enoent(from_dos_path);
  const auto to = host_or_enoent(to_dos_path);
  return from && to && rename_in(AT_FDCWD, *from, AT_FDCWD, *to, true);
}

bool rename_without_replacing(std::string_view from_dos_path, std::string_view to_dos_path) {
  const auto from = host_or_enoent(from_dos_path);
  const auto to = host_or_enoent(to_dos_path);
  return from && to && rename_in(AT_FDCWD, *from, AT_FDCWD, *to, false);
}

bool rename_in(int from_directory_fd, const std::string& from, int to_directory_fd, const std::string& to,
               bool replace) {
  if (fault_injected(FileOperation::rename)) return false;
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

bool file_exists(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  struct stat st;
  return host && ::stat(host->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool same_directory(std::string_view first_dos_path, std::string_view second_dos_path) {
  const auto first = resolve_dos_path(first_dos_path);
  const auto second = resolve_dos_path(second_dos_path);
  struct stat a, b;
  return first && second && ::stat(first->c_str(), &a) == 0 && ::stat(second->c_str(), &b) == 0 &&
         S_ISDIR(a.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool path_exists(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  struct stat st;
  return host && ::lstat(host->c_str(), &st) == 0;
}

bool directory_exists(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  struct stat st;
  return host && ::stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> directory_names(std::string_view dos_path) {
  std::vector<std::string> names;
  int error = 0;
  if (const auto host = resolve_dos_path(dos_path)) host_directory_names(*host, names, error);
  return names;
}

bool host_directory_names(const std::string& host_path, std::vector<std::string>& names, int& error) {
  names.clear();
  DIR* dir = ::opendir(host_path.c_str());
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

std::string error_text(int error) {
  if (error == not_a_regular_file) return "Not a regular file (a FIFO, a device or a socket is never read)";
  return std::strerror(error);
}

} // namespace shelvo
