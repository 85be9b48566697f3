// A catalog directory opened once, with the table of the volume files it holds.
// Every operation names the numbered files relative to the open directory, so a
// delete or an import over thousands of volumes costs one system call per file
// it moves, where a lookup by path would cost a walk of the path, and for a name
// not there yet a scan of the whole directory for another letter case.
//
// The table is read when asked (read_table) and kept current by the moves made
// through this object: it stays true while the catalog's lock keeps the other
// programs that cooperate out.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directory_handle.h"
#include "platform/file_access.h"

namespace shelvo {

// Every name Shelvo writes into a catalog directory besides volume files starts
// with this: the temporary files of writers and the set-aside file of a delete.
constexpr std::string_view catalog_own_file_prefix = ".shelvo-";

class VolumeDirectory {
public:
  // Opens the catalog directory a DOS path names ("C:\CAT", with or without its
  // final backslash); false with errno set.
  bool open(std::string_view dos_directory);
  DirectoryHandle& handle() { return handle_; }
  // The directory as the engine names it, without a final backslash.
  const std::string& dos_path() const { return dos_path_; }

  // Reads the directory: its volume files by number, in whatever letter case
  // their names are written, and Shelvo's own dot-files.
  void read_table();
  const std::vector<std::string>& own_files() const { return own_; }

  bool has(long number) const { return volumes_.count(number) != 0; }
  // The first missing number from 0: where the catalog ends for its readers.
  long end() const;
  // The volume files there are, in the sequence or beyond a gap.
  long count() const { return static_cast<long>(volumes_.size()); }
  // A volume file's name as the directory writes it (the usual spelling for a
  // number that has none), and its DOS path, for messages.
  std::string name_of(long number) const;
  std::string path_of(long number) const;
  File open(long number) const;
  DirectoryHandle::Identity identity_of(long number) const;
  // What the file of a number holds now, as a reader opening it finds it.
  std::optional<FileStatus> status_of(long number) const { return handle_.status(name_of(number)); }

  // Moves volume file from to the free number to. False with errno set.
  bool move(long from, long to);
  // Takes a volume file out of the sequence under a name of Shelvo's own, and
  // puts such a file in as a volume file (over an existing one only with
  // replace). False with errno set.
  bool move_out(long number, const std::string& name);
  bool move_in(const std::string& name, long number, bool replace);
  // Removes a volume file that is one file with another (a move through a link
  // cut short), or one of Shelvo's own files.
  bool remove_volume_name(long number);
  bool remove_own(const std::string& name);

  // Puts on the disk the names that the moves and removals above changed, so
  // that a power cut keeps them; nothing to do when none changed since the last
  // time. False with errno set.
  bool sync();
  // True when names changed that are not on the disk yet.
  bool unsynced() const { return unsynced_; }

private:
  void insert(long number, std::string name);
  void erase(long number);

  DirectoryHandle handle_;
  std::string dos_path_;
  std::map<long, std::string> volumes_;
  std::vector<std::string> own_;
  mutable long end_ = -1; // -1: to be counted again
  bool unsynced_ = false;
};

} // namespace shelvo
