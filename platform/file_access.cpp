#include "platform/file_access.h"

#include "platform/drive_table.h"
#include "platform/fault_injection.h"
#include "platform/host_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace shelvo {

namespace {

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
  // Without its last '/': "/" is "", a Windows drive's "X:/" is "X:".
  const std::string base = root.ends_with('/') ? root.substr(0, root.size() - 1) : root;
  std::string host = base;
  bool missing = false; // once a component is missing, the rest is spelled as given
  for (const std::string& c : split_components(rest)) {
    if (c == ".") continue;
    if (c == "..") { // never above the drive's root
      if (host.size() > base.size()) host.resize(host.find_last_of('/'));
      continue;
    }
    std::string candidate = host + "/" + c;
    if (!missing && host::kind_of(candidate, false) == host::Kind::missing) {
      if (auto other = host::find_ignoring_case(host, c)) candidate = host + "/" + *other;
      else missing = true;
    }
    host = std::move(candidate);
  }
  if (host == base) return root; // the root itself, with its '/'
  return host;
}

} // namespace

std::optional<std::string> resolve_dos_path(std::string_view dos_path) {
#ifdef _WIN32
  // "X:/..." is a path of this host, on the system's own drive X: the engine
  // writes its DOS paths with '\' only.
  if (dos_path.size() >= 3 && dos_path[1] == ':' && dos_path[2] == '/') return std::string(dos_path);
#endif
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

File File::open(std::string_view dos_path, const char* mode) {
  const auto host = resolve_dos_path(dos_path);
  if (!host) return failure(ENOENT);
  return open_host(*host, mode);
}

File File::create_new(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  if (!host) return failure(ENOENT);
  return create_new_host(*host);
}

namespace {

// 64-bit positions on both hosts (a long is 32 bits on Windows).
int seek_stream(std::FILE* stream, std::int64_t offset, int whence) {
#ifdef _WIN32
  return ::_fseeki64(stream, offset, whence);
#else
  return ::fseeko(stream, static_cast<off_t>(offset), whence);
#endif
}

std::int64_t tell_stream(std::FILE* stream) {
#ifdef _WIN32
  return ::_ftelli64(stream);
#else
  return static_cast<std::int64_t>(::ftello(stream));
#endif
}

} // namespace

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
  if (!failed_ && recording_operations())
    if (const auto s = status()) record_operation({RecordedOperation::Kind::write, {s->device, s->inode}, {}, {}, ""});
  return !failed_;
}

bool File::seek(std::int64_t offset, int whence) {
  if (!stream_) return false;
  if (read_limit_ >= 0) {
    // The end is where the file ended when it was opened.
    const std::int64_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? position_ + offset : read_limit_ + offset;
    if (target < 0 || seek_stream(stream_, target, SEEK_SET) != 0) return false;
    position_ = target;
    return true;
  }
  return seek_stream(stream_, offset, whence) == 0;
}

std::int64_t File::tell() {
  if (!stream_) return -1;
  return tell_stream(stream_);
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
  return host && host::make_directory(*host);
}

bool delete_file(std::string_view dos_path) {
  const auto host = host_or_enoent(dos_path);
  return host && !fault_injected(FileOperation::remove) && host::remove_file(*host);
}

bool rename_file(std::string_view from_dos_path, std::string_view to_dos_path) {
  const auto from = host_or_enoent(from_dos_path);
  const auto to = host_or_enoent(to_dos_path);
  return from && to && rename_host(*from, *to, true);
}

bool rename_without_replacing(std::string_view from_dos_path, std::string_view to_dos_path) {
  const auto from = host_or_enoent(from_dos_path);
  const auto to = host_or_enoent(to_dos_path);
  return from && to && rename_host(*from, *to, false);
}

bool sync_directory(std::string_view dos_path) {
  const auto host = host_or_enoent(dos_path);
  return host && sync_host_directory(*host);
}

bool sync_new_directory(std::string_view dos_path) {
  const auto host = host_or_enoent(dos_path);
  if (!host || !sync_host_directory(*host)) return false;
#ifdef _WIN32
  return true; // no directory is flushed on this host
#else
  // What holds it: the path up to its last '/' (the root for "/CAT").
  std::string_view path = *host;
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.find_last_of('/');
  return sync_host_directory(slash == std::string_view::npos ? std::string(".")
                                                             : std::string(path.substr(0, slash == 0 ? 1 : slash)));
#endif
}

bool file_exists(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  return host && host::kind_of(*host, true) == host::Kind::regular;
}

std::optional<FileIdentity> host_identity(const std::string& host_path) { return host::identity_of(host_path, true); }

std::optional<std::string> host_real_path(const std::string& host_path) { return host::real_path(host_path); }

bool same_directory(std::string_view first_dos_path, std::string_view second_dos_path) {
  const auto first = resolve_dos_path(first_dos_path);
  const auto second = resolve_dos_path(second_dos_path);
  if (!first || !second || host::kind_of(*first, true) != host::Kind::directory) return false;
  const auto a = host_identity(*first);
  const auto b = host_identity(*second);
  return a && b && *a == *b;
}

bool path_exists(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  return host && host::kind_of(*host, false) != host::Kind::missing;
}

bool directory_exists(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  return host && host::kind_of(*host, true) == host::Kind::directory;
}

std::vector<std::string> directory_names(std::string_view dos_path) {
  std::vector<std::string> names;
  int error = 0;
  if (const auto host = resolve_dos_path(dos_path)) host_directory_names(*host, names, error);
  return names;
}

bool host_directory_names(const std::string& host_path, std::vector<std::string>& names, int& error) {
  return host::list_directory(host_path, names, error);
}

std::string error_text(int error) {
  if (error == not_a_regular_file) return "Not a regular file (a FIFO, a device or a socket is never read)";
  return std::strerror(error);
}

} // namespace shelvo
