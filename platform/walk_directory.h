// The entries of one directory as a volume walk sees them, with the size and
// the last-write time each file would be recorded with: one implementation per
// host (readdir and fstatat; FindFirstFileW, which gives both in one call).
//
// A symbolic link (on Windows any reparse point: a link, a junction, a mount
// point) is never followed into a directory; a link to a regular file is that
// file; other links (to a directory, or to nothing) are `skipped`. Devices,
// FIFOs and sockets, and links to them, are `special`: never opened, and told
// to the user, since they may hold what the user meant to catalogue.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace shelvo {

struct WalkEntry {
  enum class Kind { directory, file, skipped, special, unreadable };
  std::string name; // the host's name for it, UTF-8 on Windows
  Kind kind = Kind::skipped;
  const char* special = nullptr; // what a special entry is: "a FIFO", "a link to a device", ...
  std::uint64_t size = 0;     // a file's length
  std::time_t modified = 0;   // a file's last-write time
  std::uint64_t device = 0;   // a directory's file system (on Windows always 0: a mount point is a link there)
  int error = 0;              // why an entry is unreadable (errno)
};

class WalkDirectory {
public:
  WalkDirectory() = default;
  WalkDirectory(const WalkDirectory&) = delete;
  WalkDirectory& operator=(const WalkDirectory&) = delete;
  ~WalkDirectory();

  // False with error set (errno) when the directory cannot be read.
  bool open(const std::string& host_path, int& error);
  // The next entry but "." and ".."; false at the end.
  bool next(WalkEntry& entry);

  // The file system of a walk's root (what next() gives its directories), or
  // nothing when the root cannot be looked at.
  static bool root_device(const std::string& host_path, std::uint64_t& device);

private:
  void* handle_ = nullptr; // DIR* or a find handle
#ifdef _WIN32
  std::wstring directory_; // the directory, for the paths of links
  void* found_ = nullptr;  // the find data
  bool pending_ = false;   // the first entry came with the open
#endif
};

} // namespace shelvo
