#include "platform/drive_table.h"

#include "platform/code_page.h"
#include "platform/drive_discovery.h"
#include "platform/host_files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace shelvo {

void DriveTable::set(Drive drive) {
  const int index = drive.letter - 'A';
  if (index < 0 || index >= 26) return;
  drives_[static_cast<std::size_t>(index)] = std::move(drive);
}

const Drive* DriveTable::find(char letter) const {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  const int index = letter - 'A';
  if (index < 0 || index >= 26) return nullptr;
  const auto& slot = drives_[static_cast<std::size_t>(index)];
  return slot ? &*slot : nullptr;
}

std::vector<Drive> DriveTable::drives() const {
  std::vector<Drive> out;
  for (const auto& slot : drives_)
    if (slot) out.push_back(*slot);
  return out;
}

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool fail(std::string& error, std::string_view entry, std::string_view why) {
  error = "bad drive entry '" + std::string(entry) + "': " + std::string(why);
  return false;
}

} // namespace

bool parse_drive_entry(std::string_view entry, Drive& drive, std::string& error, std::string_view home) {
  const std::string_view e = trim(entry);
  if (e.size() < 3 || e[1] != ':' || e[2] != '=')
    return fail(error, e, "expected X:=DIRECTORY or X:=DIRECTORY|LABEL");
  char letter = e[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z') return fail(error, e, "the drive must be a letter A to Z");
  std::string_view rest = e.substr(3);
  std::optional<std::string> label;
  if (const std::size_t bar = rest.find('|'); bar != std::string_view::npos) {
    label = std::string(rest.substr(bar + 1));
    rest = rest.substr(0, bar);
  }
  if (rest.empty()) return fail(error, e, "the directory is empty");
  std::string directory(rest);
  // "~" and "~/..." are the home directory, as a shell would have it.
  if (rest == "~" || rest.starts_with("~/")) {
    if (home.empty()) return fail(error, e, "'~' names the home directory, and HOME is not set");
    directory = std::string(home) + directory.substr(1);
  }
#ifdef _WIN32
  // "X:\DIR", "X:/DIR", "\\SERVER\SHARE", or "\DIR" on the current drive; kept
  // with '/' as the other paths here.
  for (char& c : directory)
    if (c == '\\') c = '/';
  const bool lettered = directory.size() >= 3 && directory[1] == ':' && directory[2] == '/';
  const bool absolute = directory.front() == '/' || lettered;
  const std::size_t shortest = lettered ? 3 : 1; // "X:/" keeps its '/'
#else
  const bool absolute = directory.front() == '/';
  const std::size_t shortest = 1;
#endif
  if (!absolute) return fail(error, e, "the directory must be an absolute path");
  drive.letter = letter;
  drive.directory = std::move(directory);
  while (drive.directory.size() > shortest && drive.directory.back() == '/') drive.directory.pop_back();
  drive.label = std::move(label);
  return true;
}

namespace {

bool add_entry(std::string_view entry, DriveTable& table, std::string& error, std::string_view home) {
  Drive drive;
  if (!parse_drive_entry(entry, drive, error, home)) return false;
  if (table.find(drive.letter))
    return fail(error, trim(entry), std::string("drive ") + drive.letter + ": is given twice");
  table.set(std::move(drive));
  return true;
}

} // namespace

// Adds every good entry, and collects one line per bad one, so that a user
// mends them all at once.
void add_or_note(std::string_view entry, DriveTable& table, std::string& errors, std::string_view where,
                 std::string_view home) {
  std::string error;
  if (add_entry(entry, table, error, home)) return;
  if (!errors.empty()) errors += '\n';
  errors += std::string(where) + error;
}

bool parse_drive_list(std::string_view list, DriveTable& table, std::string& error, std::string_view home) {
  error.clear();
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view entry = trim(list.substr(start, end - start));
    if (!entry.empty()) add_or_note(entry, table, error, "", home);
    start = end + 1;
  }
  return error.empty();
}

bool parse_drives_file(std::string_view text, DriveTable& table, std::string& error, std::string_view home) {
  error.clear();
  std::size_t start = 0;
  for (int line_number = 1; start < text.size(); ++line_number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    line = trim(line);
    if (!line.empty()) add_or_note(line, table, error, "line " + std::to_string(line_number) + ": ", home);
    start = end + 1;
  }
  return error.empty();
}

bool path_is_under(std::string_view path, std::string_view dir) {
  if (dir.ends_with('/')) return path.starts_with(dir) || path == dir.substr(0, dir.size() - 1);
  return path == dir || (path.size() > dir.size() && path.substr(0, dir.size()) == dir && path[dir.size()] == '/');
}

// Drive C holds the catalogs and the log, so its directory is created when it is
// missing, level by level: on a new account even ~/.local may not exist. Without
// it, a catalog on C: would move to the next letter, maybe onto a disk being added.
void create_drive_c(const DriveTable& table) {
  const Drive* c = table.find('C');
  if (!c) return;
  const std::string& dir = c->directory;
  for (std::size_t slash = 0; slash != std::string::npos;) {
    slash = dir.find('/', slash + 1);
    host::make_directory(dir.substr(0, slash));
  }
}

namespace {

std::string environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::optional<DriveTable>& process_table() {
  static std::optional<DriveTable> table;
  return table;
}

int& process_current_drive() {
  static int drive = 2;
  return drive;
}

} // namespace

bool load_drive_table(std::string& error) {
  DriveTable table;
  std::string home = environment("HOME");
#ifdef _WIN32
  if (home.empty()) home = environment("USERPROFILE");
  for (char& c : home)
    if (c == '\\') c = '/';
#endif
  // Each line of a list of errors names where it comes from.
  const auto from = [&](const std::string& source) {
    std::string named;
    for (std::size_t start = 0; start <= error.size();) {
      std::size_t end = error.find('\n', start);
      if (end == std::string::npos) end = error.size();
      named += (start > 0 ? "\n" : "") + source + ": " + error.substr(start, end - start);
      start = end + 1;
    }
    error = named;
  };
  if (const char* list = std::getenv("SHELVO_DRIVES")) {
    if (!parse_drive_list(list, table, error, home)) {
      from("SHELVO_DRIVES");
      process_table() = DriveTable{};
      return false;
    }
    create_drive_c(table);
    process_table() = std::move(table);
    return true;
  }
  std::string config = environment("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  const std::string drives_file = config + "/shelvo/drives";
  if (std::ifstream in(drives_file); in) {
    std::stringstream text;
    text << in.rdbuf();
    if (!parse_drives_file(text.str(), table, error, home)) {
      from(drives_file);
      process_table() = DriveTable{};
      return false;
    }
    create_drive_c(table);
    process_table() = std::move(table);
    return true;
  }
  std::string data = environment("XDG_DATA_HOME");
  if (data.empty()) data = home + "/.local/share";
  process_table() = automatic_drive_table(home, data);
  return true;
}

const DriveTable& drive_table() {
  if (!process_table()) {
    std::string ignored;
    load_drive_table(ignored);
  }
  return *process_table();
}

void set_drive_table(DriveTable table) { process_table() = std::move(table); }

bool catalog_path_for_directory(const std::string& host_directory, std::string& path, std::string& why) {
  std::string host = host_directory;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (host.find('\\') != std::string::npos) {
    why = "the directory " + host + " has a '\\' in a name, which a catalog path cannot hold";
    return false;
  }
  const Drive* best = nullptr;
  for (const Drive& drive : drive_table().drives()) {
    if (!path_is_under(host, drive.directory) && drive.directory != "/") continue;
    if (!best || drive.directory.size() > best->directory.size()) best = drive_table().find(drive.letter);
  }
  if (best) {
    std::string rest = best->directory == "/" ? host : host.substr(best->directory.size());
    for (char& c : rest)
      if (c == '/') c = '\\';
    if (rest.empty() || rest.back() != '\\') rest += '\\';
    if (rest.front() != '\\') rest.insert(0, 1, '\\');
    path = std::string(1, best->letter) + ":" + rest;
  } else {
    path = host.back() == '/' ? host : host + "/";
  }
  return true;
}

char letter_of_directory(const std::string& host_directory) {
  const auto wanted = host_identity(host_directory);
  if (!wanted) return 0;
  for (const Drive& drive : drive_table().drives())
    if (host_identity(drive.directory) == wanted) return drive.letter;
  return 0;
}

char map_directory_for_this_process(const std::string& host_directory, const std::optional<std::string>& label) {
  DriveTable table = drive_table();
  char letter = letter_of_directory(host_directory);
  Drive drive{letter, host_directory, std::nullopt};
  if (letter) {
    drive = *table.find(letter);
  } else {
    for (char free = 'Z'; free >= 'A' && !letter; --free)
      if (!table.find(free)) letter = free;
    if (!letter) return 0;
    drive.letter = letter;
  }
  if (label) drive.label = label;
  table.set(std::move(drive));
  set_drive_table(std::move(table));
  return letter;
}

bool lies_in_drive_volume(const std::string& host_path, char letter) {
  const Drive* drive = drive_table().find(letter);
  if (!drive || host_path.empty()) return false;
  const std::optional<std::string> root = host::real_path(drive->directory);
  if (!root) return false;
  // The deepest part of the path that exists, resolved; the rest as written.
  std::string existing = host_path.find('/') == std::string::npos ? "./" + host_path : host_path;
  std::string rest;
  std::optional<std::string> resolved;
  while (!(resolved = host::real_path(existing))) {
    const std::size_t slash = existing.find_last_of('/');
    const bool drive_root = slash == 2 && existing[1] == ':'; // "X:/"
    if (slash == std::string::npos || existing == "/" || (drive_root && existing.size() == 3)) return false;
    rest.insert(0, existing.substr(slash));
    existing.resize(slash == 0 || drive_root ? slash + 1 : slash);
  }
  const auto root_identity = host_identity(*root);
  const auto existing_identity = host_identity(*resolved);
  if (!root_identity || !existing_identity) return false;
  const std::string& base = *resolved;
  const std::string path = (base == "/" || base.ends_with('/')) && !rest.empty() ? base + rest.substr(1) : base + rest;
  return existing_identity->device == root_identity->device && (*root == "/" || path_is_under(path, *root));
}

int current_drive() { return process_current_drive(); }
void set_current_drive(int drive_index) { process_current_drive() = drive_index; }

bool read_drive_label(int drive_index, std::string& label) {
  label.clear();
  if (drive_index < 0 || drive_index >= 26) return false;
  const Drive* drive = drive_table().find(static_cast<char>('A' + drive_index));
  if (!drive) return false;
  std::vector<std::string> names;
  int error = 0;
  if (!host::list_directory(drive->directory, names, error)) return false;
  label = drive->label ? *drive->label : file_system_label(drive->directory);
  // Most drives here have no label (a home directory, a plain directory, an
  // unlabelled stick). A volume is known by its label alone, so they would all
  // be one volume and replace each other: take the name a file manager shows.
  if (label.empty() && !drive->label) label = drive->directory.substr(drive->directory.rfind('/') + 1);
  label = utf8_to_cp1252(label);
  return true;
}

} // namespace shelvo
