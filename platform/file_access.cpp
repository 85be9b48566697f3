#include "platform/file_access.h"

#include "platform/drive_table.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

File::File(std::FILE* stream) : stream_(stream) {}

File::File(File&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr)), failed_(std::exchange(other.failed_, false)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    stream_ = std::exchange(other.stream_, nullptr);
    failed_ = std::exchange(other.failed_, false);
  }
  return *this;
}

File::~File() { close(); }

File File::open(std::string_view dos_path, const char* mode) {
  const auto host = resolve_dos_path(dos_path);
  if (!host) return File();
  return open_host(*host, mode);
}

File File::open_host(const std::string& host_path, const char* mode) {
  const std::string_view m(mode);
  const char* host_mode = m == "at" ? "a" : mode; // text and binary are the same here
  std::FILE* f = std::fopen(host_path.c_str(), host_mode);
  if (!f) return File();
  // Reading a directory "succeeds" on some hosts; a directory is never a file here.
  struct stat st;
  if (::fstat(::fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return File();
  }
  // Records are written one at a time; a large buffer keeps that to few system calls.
  std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
  return File(f);
}

std::size_t File::read(std::span<char> out) {
  if (!stream_ || out.empty()) return 0;
  return std::fread(out.data(), 1, out.size(), stream_);
}

int File::read_byte() {
  if (!stream_) return -1;
  const int c = std::fgetc(stream_);
  return c == EOF ? -1 : c;
}

bool File::write(std::string_view bytes) {
  if (!stream_) {
    failed_ = true;
    return false;
  }
  if (bytes.empty()) return true;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) failed_ = true;
  return !failed_;
}

bool File::seek(std::int64_t offset, int whence) {
  if (!stream_) return false;
  return ::fseeko(stream_, static_cast<off_t>(offset), whence) == 0;
}

std::int64_t File::tell() {
  if (!stream_) return -1;
  return static_cast<std::int64_t>(::ftello(stream_));
}

bool File::close() {
  if (!stream_) return !failed_;
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) failed_ = true;
  if (std::fclose(stream_) != 0) failed_ = true;
  stream_ = nullptr;
  return !failed_;
}

bool create_directory(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  return host && ::mkdir(host->c_str(), 0777) == 0;
}

bool delete_file(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  return host && ::unlink(host->c_str()) == 0;
}

bool rename_file(std::string_view from_dos_path, std::string_view to_dos_path) {
  const auto from = resolve_dos_path(from_dos_path);
  const auto to = resolve_dos_path(to_dos_path);
  return from && to && std::rename(from->c_str(), to->c_str()) == 0;
}

bool file_exists(std::string_view dos_path) {
  const auto host = resolve_dos_path(dos_path);
  struct stat st;
  return host && ::stat(host->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace shelvo
