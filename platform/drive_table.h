// The drive table: drive letters mapped to host directories, so that catalogs and
// the engine keep their drive-letter paths on a host that has none.
//
// SHELVO_DRIVES, when set, is the whole table ("X:=DIR" or "X:=DIR|LABEL",
// separated by ';'). Otherwise $XDG_CONFIG_HOME/shelvo/drives holds the same
// entries one per line, and without that file the table is built: C: the
// per-user data directory, D: home, E: onward the mounted volumes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shelvo {

struct Drive {
  char letter = 0;                  // 'A'..'Z'
  std::string directory;            // host directory of the drive's root
  std::optional<std::string> label; // the table's own label, when it gives one
};

class DriveTable {
public:
  // Adds or replaces the drive of entry.letter.
  void set(Drive drive);
  // The drive of a letter (either case), or nullptr when it does not exist.
  const Drive* find(char letter) const;
  std::vector<Drive> drives() const; // in letter order

private:
  std::array<std::optional<Drive>, 26> drives_;
};

// Parses "X:=DIRECTORY" or "X:=DIRECTORY|LABEL" into drive; a DIRECTORY of "~"
// or "~/..." is below home. On a bad entry, returns false with error naming the
// entry and what is wrong with it.
bool parse_drive_entry(std::string_view entry, Drive& drive, std::string& error, std::string_view home = {});

// Parses the ';'-separated value of SHELVO_DRIVES; empty entries are ignored.
// The good entries are taken; error gets one line per bad one.
bool parse_drive_list(std::string_view list, DriveTable& table, std::string& error, std::string_view home = {});

// Parses a drives file: one entry per line, '#' starts a comment. error gets one
// line per bad entry, starting with its line number ("line 3: bad drive ...").
bool parse_drives_file(std::string_view text, DriveTable& table, std::string& error, std::string_view home = {});

// Loads the process's table from the environment, once, and creates the
// directory of drive C when it is missing (C: holds the catalogs). Returns false
// on a bad SHELVO_DRIVES or drives file, the table then empty, with one line in
// error for each bad entry, naming where it is.
bool load_drive_table(std::string& error);

// The process's table (loaded on first use when load_drive_table was not called).
const DriveTable& drive_table();
// Replaces the process's table; for front ends and tests.
void set_drive_table(DriveTable table);

// The letter of the drive whose directory is host_directory: the same
// directory (device and inode), however either is written; 0 when none is.
char letter_of_directory(const std::string& host_directory);

// Gives host_directory a drive letter for the rest of this process, as an entry
// of the table would, leaving the drives file and the environment as they are:
// the letter of the drive whose directory it is already, else the last free
// letter. A label given becomes that drive's label. 0 when every letter is taken.
char map_directory_for_this_process(const std::string& host_directory, const std::optional<std::string>& label);

// True when host_path (or, for a path not made yet, where it would be made) lies
// in the volume of the drive of letter: below the drive's directory and on the
// file system of its root, where a walk of the drive reaches it.
bool lies_in_drive_volume(const std::string& host_path, char letter);

// The catalog path the engine understands for a directory of the host: "X:\REST\"
// on the drive whose directory holds it (the deepest one, so the path is as
// short as it can be), else the host path itself; it always ends with a
// separator, so a volume file's name can follow it. False, with why set, when a
// component of the directory holds a '\', which no such path can express.
bool catalog_path_for_directory(const std::string& host_directory, std::string& path, std::string& why);

// The process's current drive, 0 = A. Starts at C.
int current_drive();
void set_current_drive(int drive_index);

// Label of the drive's volume: the table's label (which may be empty on purpose);
// else the file-system label of the device mounted exactly at the drive's
// directory; else the last component of that directory as written ("ann" for
// /home/ann, "" for /). Returns false when the drive does not exist or its
// directory cannot be read.
bool read_drive_label(int drive_index, std::string& label);

} // namespace shelvo
