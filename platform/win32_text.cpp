#include "platform/win32_text.h"

#include <windows.h>

#include <cerrno>

namespace shelvo {

std::wstring wide_of(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
  return out;
}

std::string utf8_of(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

int errno_of_windows_error(unsigned long error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_NET_NAME:
  case ERROR_NOT_READY: return ENOENT;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION: return EACCES;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS: return EEXIST;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL: return ENOSPC;
  case ERROR_WRITE_PROTECT: return EROFS;
  case ERROR_DIRECTORY: return ENOTDIR;
  case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
  case ERROR_INVALID_NAME:
  case ERROR_INVALID_PARAMETER: return EINVAL;
  case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY: return ENOMEM;
  case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;
  case ERROR_NOT_SUPPORTED:
  case ERROR_INVALID_FUNCTION: return ENOSYS;
  default: return EIO;
  }
}

bool fail_with_last_error() {
  errno = errno_of_windows_error(::GetLastError());
  return false;
}

} // namespace shelvo
