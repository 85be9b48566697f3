#include "platform/walk_directory.h"

#include "platform/win32_text.h"

#include <windows.h>

#include <cerrno>
#include <memory>

namespace shelvo {

namespace {

// A FILETIME (100 ns since 1601) as a Unix time.
std::time_t unix_time_of(const FILETIME& t) {
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  return static_cast<std::time_t>((ticks - 116444736000000000LL) / 10000000LL);
}

WIN32_FIND_DATAW& data_of(void* found) { return *static_cast<WIN32_FIND_DATAW*>(found); }

// What a link stands for: the regular file it reaches (with that file's size
// and time), a device or pipe (never read), or nothing the walk takes (a
// directory, a link to nothing).
enum class LinkTarget { file, device, other };

LinkTarget follow_link(const std::wstring& path, WalkEntry& entry) {
  const HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LinkTarget::other;
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD type = ::GetFileType(h);
  const bool known = type == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info);
  ::CloseHandle(h);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) return LinkTarget::device;
  if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return LinkTarget::other;
  entry.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  entry.modified = unix_time_of(info.ftLastWriteTime);
  return LinkTarget::file;
}

} // namespace

WalkDirectory::~WalkDirectory() {
  if (handle_) ::FindClose(static_cast<HANDLE>(handle_));
  delete static_cast<WIN32_FIND_DATAW*>(found_);
}

bool WalkDirectory::open(const std::string& host_path, int& error) {
  directory_ = wide_of(host_path);
  while (!directory_.empty() && (directory_.back() == L'/' || directory_.back() == L'\\')) directory_.pop_back();
  const std::wstring pattern = directory_ + L"\\*";
  auto found = std::make_unique<WIN32_FIND_DATAW>();
  // Without the short names, which the walk never uses; in large fetches.
  const HANDLE h = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, found.get(), FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    error = code == ERROR_FILE_NOT_FOUND ? 0 : errno_of_windows_error(code); // an empty root
    return error == 0;
  }
  handle_ = h;
  found_ = found.release();
  pending_ = true;
  error = 0;
  return true;
}

bool WalkDirectory::next(WalkEntry& entry) {
  for (;;) {
    if (!handle_) return false;
    if (!pending_ && !::FindNextFileW(static_cast<HANDLE>(handle_), &data_of(found_))) return false;
    pending_ = false;
    const WIN32_FIND_DATAW& d = data_of(found_);
    const std::wstring_view name = d.cFileName;
    if (name == L"." || name == L"..") continue;
    entry = WalkEntry{};
    entry.name = utf8_of(name);
    const bool directory = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // Links, junctions and mount points: never entered; a link to a file is
      // that file.
      if (directory) return true;
      // The path of the entry: the pattern's directory and the name.
      switch (follow_link(directory_ + L'\\' + std::wstring(name), entry)) {
      case LinkTarget::file: entry.kind = WalkEntry::Kind::file; break;
      case LinkTarget::device:
        entry.kind = WalkEntry::Kind::special;
        entry.special = "a link to a device";
        break;
      case LinkTarget::other: break;
      }
      return true;
    }
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
      entry.kind = WalkEntry::Kind::special; // never opened
      entry.special = "a device";
      return true;
    }
    entry.kind = directory ? WalkEntry::Kind::directory : WalkEntry::Kind::file;
    entry.size = (static_cast<std::uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    entry.modified = unix_time_of(d.ftLastWriteTime);
    return true;
  }
}

bool WalkDirectory::root_device(const std::string& host_path, std::uint64_t& device) {
  device = 0;
  return ::GetFileAttributesW(wide_of(host_path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace shelvo
