// File access at the DOS-path boundary: every path the engine names ("C:\VOLDEPOT",
// "\DIR\FILE.ZIP", or a native host path) is resolved through the drive table here.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace shelvo {

// The host path of a DOS path. "X:\A\B" is the root of drive X plus /A/B; a path
// starting with '\' is on the current drive; anything else is a native path with
// '\' read as '/'. Each component under a drive root is looked up exactly, then
// without regard to letter case; a component that does not exist keeps the
// spelling given (so it can be created). Empty when the drive does not exist.
// On Windows, "X:/..." is a host path as it is (the system's drive X).
std::optional<std::string> resolve_dos_path(std::string_view dos_path);

// The error of a File that names something else than a regular file (a FIFO, a
// device, a socket): refused, since reading one may never end. Not an errno
// value; error_text() has words for it.
constexpr int not_a_regular_file = 0x10000;

// What identifies a file's content on this host, as the file system tells it:
// a file written anew or changed in place gets another inode, size or time.
struct FileStatus {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0; // last modification, nanoseconds since the epoch
  bool operator==(const FileStatus&) const = default;
};

// What a file is, whatever name it is reached by: on POSIX systems its device
// and inode; on Windows its volume's serial number and its file index.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of what a host path names (through links); empty when it does
// not exist.
std::optional<FileIdentity> host_identity(const std::string& host_path);

// A buffered file, closed when it goes out of scope. Write and close failures are
// remembered, so a full disk is never reported as success. Only regular files
// are opened, always in binary mode (no host ever turns "\n" into "\r\n" in a
// volume file): the open itself never waits (O_NONBLOCK), and what it finds is
// checked on the open descriptor, so a name swapped for a FIFO between a look
// and the open cannot hang the program. A file opened for reading only is read
// up to the size it had when it was opened, never further (a file that grows
// without end is read as it was). Files are written only under their own name,
// never through a symbolic link.
class File {
public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  ~File();

  // mode is one of "rb", "wb", "w+b", "r+b" and "at". An unopened File on
  // failure, whose error() says why.
  static File open(std::string_view dos_path, const char* mode);
  static File open_host(const std::string& host_path, const char* mode);
  // Creates a new file for reading and writing; fails (EEXIST) when anything
  // exists under that name, a symbolic link included, so it never truncates or
  // writes through a file that is not its own.
  static File create_new(std::string_view dos_path);
  static File create_new_host(const std::string& host_path);
#ifndef _WIN32
  // The same for a name inside an open directory (see DirectoryHandle).
  static File open_in(int directory_fd, const std::string& name, const char* mode);
  static File create_new_in(int directory_fd, const std::string& name);
#endif

  bool is_open() const { return stream_ != nullptr; }
  explicit operator bool() const { return is_open(); }

  // Reads up to out.size() bytes; returns the count read (0 at end or error).
  std::size_t read(std::span<char> out);
  // One byte, or -1 at the end.
  int read_byte();
  // Writes all bytes; false (and the failure remembered) when they were not.
  bool write(std::string_view bytes);
  bool seek(std::int64_t offset, int whence);
  std::int64_t tell();
  // Reads up to out.size() bytes at a position of one's choosing, without
  // moving the position of read(); within the size at the open for a file
  // opened to read only. Returns the count read, fewer only at the end or after
  // a failure (failed() then says so).
  std::size_t read_at(std::uint64_t at, std::span<char> out);
  // The open file's device, inode, size and time now; nothing when it is not open.
  std::optional<FileStatus> status() const;
  // True when a read, write, flush or close failed at any point (a read that
  // stops at the end of the file is no failure).
  bool failed() const { return failed_; }
  // The system's error number of the failed open, or of the first failed write,
  // flush or close; 0 when none failed.
  int error() const { return error_; }
  // Flushes and closes; false when anything written could not be stored.
  bool close();
  // Writes what is buffered and has the system put the file's bytes on the
  // disk (fdatasync; FlushFileBuffers on Windows), so that a power cut after
  // the file is renamed into place finds it whole, never empty or short. False,
  // with the failure remembered, when the disk did not confirm it (or an
  // earlier write failed). A writer calls it last before close() and the
  // rename, then flushes the directory (sync_directory).
  bool sync();

private:
  explicit File(std::FILE* stream, std::int64_t read_limit);
  static File failure(int error);
  void fail(int error);
  std::FILE* stream_ = nullptr;
  bool failed_ = false;
  int error_ = 0;
  std::int64_t read_limit_ = -1; // the size at the open, for a file opened to read only; -1: none
  std::int64_t position_ = 0;    // where the next read starts, while read_limit_ holds
};

// A file opened only to be read at positions of one's choosing (an archive's
// headers), through a window of its bytes: a read inside the window costs no
// system call, one outside it costs one, and the window grows while reads go
// forward through the file. Its length is known from the open. Closed when it
// goes out of scope.
class WindowedFile {
public:
  WindowedFile() = default;
  WindowedFile(const WindowedFile&) = delete;
  WindowedFile& operator=(const WindowedFile&) = delete;
  WindowedFile(WindowedFile&& other) noexcept;
  WindowedFile& operator=(WindowedFile&& other) noexcept;
  ~WindowedFile();

  // An unopened WindowedFile on failure (a directory included), whose error()
  // says why.
  static WindowedFile open_host(const std::string& host_path);

  bool is_open() const { return fd_ >= 0; }
  explicit operator bool() const { return is_open(); }
  std::uint64_t size() const { return size_; }
  // Copies the bytes of [at, at + out.size()) that the file holds; returns how
  // many: fewer only at its end, or after a read failed (failed() then says so).
  std::size_t read_at(std::uint64_t at, std::span<char> out);
  bool failed() const { return failed_; }
  int error() const { return error_; }

private:
  // Fills the window with the bytes from `at` on, at least `wanted` of them
  // when the file has them; false when a read failed.
  bool fill_window(std::uint64_t at, std::size_t wanted);
  // Reads bytes from `at` into out until it is full or the file ends.
  std::size_t read_directly(std::uint64_t at, std::span<char> out);
  void close();

  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::vector<char> window_;
  std::uint64_t window_at_ = 0;
  std::size_t window_length_ = 0; // bytes of the file in the window
  std::size_t last_fill_ = 0;     // bytes the last fill asked for
  bool failed_ = false;
  int error_ = 0;
};

// These return false on failure with errno set (ENOENT for a drive that does not
// exist).

// Creates the last level of a directory; false when it could not be created
// (also when it exists already).
bool create_directory(std::string_view dos_path);
bool delete_file(std::string_view dos_path);
// Renames over an existing target.
bool rename_file(std::string_view from_dos_path, std::string_view to_dos_path);
// Renames only when nothing exists under the target name (EEXIST otherwise).
bool rename_without_replacing(std::string_view from_dos_path, std::string_view to_dos_path);
// The same for host paths, without the drive table.
bool rename_host(const std::string& from, const std::string& to, bool replace);
// The absolute path of what a host path names, every link resolved; empty when
// it does not exist.
std::optional<std::string> host_real_path(const std::string& host_path);
#ifndef _WIN32
// The same for names relative to open directories (AT_FDCWD for the current
// one).
bool rename_in(int from_directory_fd, const std::string& from, int to_directory_fd, const std::string& to,
               bool replace);
#endif
// Has the system put a directory's names on the disk (fsync on the directory),
// so that a file created, renamed or removed in it stays so after a power cut;
// a writer calls it after its last rename, before it reports success. A file
// system that cannot flush a directory (EINVAL: some network and FUSE mounts)
// has nothing more to give, and counts as flushed. On Windows, which has no
// such flush (NTFS journals its names), it does nothing. False with errno set.
bool sync_directory(std::string_view dos_path);
bool sync_host_directory(const std::string& host_path);
// A directory just made is there after a power cut only once the directory
// that holds it is flushed too: both are (the directory itself first).
bool sync_new_directory(std::string_view dos_path);
bool file_exists(std::string_view dos_path);
// True when both name one directory, whatever their spelling ("D:\CAT\" and
// its host path, another letter case, a link): the same FileIdentity.
bool same_directory(std::string_view first_dos_path, std::string_view second_dos_path);
// True when anything at all exists under the name (a file, a directory, a link).
bool path_exists(std::string_view dos_path);
// True when the name is a directory (or a link to one).
bool directory_exists(std::string_view dos_path);
// The names in a directory, without "." and ".."; empty when it cannot be read.
std::vector<std::string> directory_names(std::string_view dos_path);
// The same for a host path, taken as it is (a '\' is part of a name there);
// false, with error set to errno (ENOTDIR for a file), when it cannot be read.
bool host_directory_names(const std::string& host_path, std::vector<std::string>& names, int& error);

// The status of a host path (a link itself, not what it points to); nothing when
// it cannot be had (errno set).
std::optional<FileStatus> host_file_status(const std::string& host_path);
// The same for a name in an open directory (AT_FDCWD: the current one), of what
// a link points to when follow_links is set.
std::optional<FileStatus> host_file_status_at(int directory_fd, const std::string& name, bool follow_links);
// Creates a host directory and its missing parents, private to the user; true
// when it is there afterwards.
bool create_host_directories(const std::string& host_path);
// Removes a host file (not a directory); false with errno set.
bool remove_host_file(const std::string& host_path);

// The system's text for an error number ("Permission denied").
std::string error_text(int error);

} // namespace shelvo
