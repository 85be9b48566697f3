#include "engine/add_pass.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "engine/engine_main.h"
#include "engine/index_pass.h"
#include "index/index_cache.h"
#include "platform/drive_discovery.h"
#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "scanner/broken_archive_log.h"
#include "scanner/volume_walk.h"

namespace shelvo {

int volume_label_of(int drive_index, std::string& label) {
  std::string reported;
  if (!read_drive_label(drive_index, reported)) return -1;
  label.clear();
  for (char c : reported) {
    if (c == '.') continue;
    if (label.size() == label_length) break;
    label += c;
  }
  label.resize(label_length, ' ');
  return 0;
}

namespace {

enum class Decision { write, refuse_found, return_ok, already_known };
enum class Search { found, missing, unreadable };

// Walks volume files from settings.volume_cursor while they exist; stops on the
// first whose label equals label (found; with no label, none is) or on the first
// missing number. A file that is there but cannot be read ends the walk too: the
// number it holds must never be taken for a free one, and a volume written
// behind it would be hidden from every reader.
Search find_volume(RunSettings& settings, const std::string* label) {
  for (;;) {
    File file = File::open(settings.volume_cursor, "rb");
    if (!file) {
      if (file.error() == ENOENT) return Search::missing;
      run_report.failure = "cannot read the volume file " + settings.volume_cursor + ": " + error_text(file.error()) +
                           "; nothing was changed";
      return Search::unreadable;
    }
    if (label && read_volume_header(file).label == *label) return Search::found;
    next_volume_file(settings.volume_cursor);
  }
}

bool confirmed(const FrontEnd& front) {
  if (!front.read_confirmation_key) return false;
  const int key = front.read_confirmation_key();
  // 'O' is the French "oui": a French user answers the question in their own
  // language, so it is a yes too.
  return key == 'Y' || key == 'y' || key == 'O' || key == 'o';
}

Decision decide(const RunSettings& settings, const FrontEnd& front, bool found) {
  if (settings.option_i) return Decision::return_ok;
  if (!found || settings.option_s) return Decision::write;
  if (settings.option_y) return Decision::write;
  if (settings.no_overwrite) return Decision::already_known;
  return confirmed(front) ? Decision::write : Decision::refuse_found;
}

// Shelvo's own folders that the drive being walked holds, as the walk spells
// them from its root: the catalog, the folder of the broken-archive log (the log
// alone when that folder is the drive's root or above it) and the cache of the
// search index. Recorded, they would change while they are walked and make every
// search of the home directory find Shelvo's own files.
std::vector<std::string> own_folders_on_current_drive(const std::string& catalog_directory) {
  std::vector<std::string> out;
  const auto walk_root = resolve_dos_path("\\");
  const auto root = walk_root ? host_real_path(*walk_root) : std::nullopt;
  if (!root) return out;
  // Where the walk reaches a host path below the drive's root, or nothing.
  const auto reached = [&](const std::string& host) -> std::optional<std::string> {
    const auto real = host_real_path(host);
    if (!real || !path_is_under(*real, *root)) return std::nullopt;
    std::string below = real->substr(root->size());
    while (!below.empty() && below.front() == '/') below.erase(0, 1);
    if (below.empty()) return std::nullopt; // the root itself
    return *walk_root + (walk_root->back() == '/' ? "" : "/") + below;
  };
  const auto leave_out = [&](const std::optional<std::string>& path) {
    if (path && std::find(out.begin(), out.end(), *path) == out.end()) out.push_back(*path);
  };
  if (const auto catalog = resolve_dos_path(catalog_directory)) leave_out(reached(*catalog));
  if (const auto log = resolve_dos_path(broken_archive_log_path)) {
    const std::size_t slash = log->find_last_of('/');
    const auto folder = slash == std::string::npos ? std::nullopt : reached(log->substr(0, slash == 0 ? 1 : slash));
    leave_out(folder ? folder : reached(*log));
  }
  if (const std::string cache = index_cache_root(); !cache.empty()) leave_out(reached(cache));
  return out;
}

// The volume is written into a temporary file of the catalog and moved to its
// number only once the walk has finished and every byte is stored: a walk that
// fails or is stopped, a full disk or a killed process never costs the catalog
// the volume it had. replace: the number holds the volume being overwritten.
int write_volume(CatalogWriter& writer, const std::string& catalog_directory, const std::string& volume_file,
                 bool replace, const std::string& label, int drive_index) {
  File file = writer.create_temporary(run_report.failure);
  if (!file) return engine_cannot_create;

  bool stored = write_volume_header(file, label);
  if (stored) {
    const int previous_drive = current_drive();
    set_current_drive(drive_index);
    scan_directory("\\", file, own_folders_on_current_drive(catalog_directory));
    set_current_drive(previous_drive);
  }
  if (stop_flag == 1) {
    writer.discard();
    run_report.stopped = true;
    return engine_failed;
  }
  if (!stored || file.failed()) {
    run_report.failure =
        "cannot write the volume file " + volume_file + ": " + error_text(file.error()) + "; the catalog is unchanged";
    writer.discard();
    return engine_cannot_create;
  }
  if (!writer.install(file, volume_number_of(volume_file), replace, run_report.failure)) return engine_cannot_create;
  // Said added only once the rename is on the disk too.
  if (!writer.commit(run_report.failure)) return engine_cannot_create;
  run_report.added_volume = volume_number_of(volume_file);
  run_report.added_label = label;
  run_report.added_in_place = replace;
  return engine_ok;
}

} // namespace

int add_pass(RunSettings& settings, const FrontEnd& front) {
  std::string label;
  if (volume_label_of(settings.drive_index, label) != 0) {
    const char letter = static_cast<char>('A' + settings.drive_index);
    const Drive* drive = drive_table().find(letter);
    run_report.failure = std::string("drive ") + letter + ": " +
                         (drive ? "cannot be read: " + drive->directory + ": " + error_text(errno)
                                : std::string("is not in the drive table"));
    return engine_failed;
  }

  // The lock is held from the choice of the number to the rename; a duplicate
  // test alone (option I) changes nothing and takes none.
  CatalogWriter writer(settings.catalog_directory);
  if (!settings.option_i && !writer.lock(run_report.failure, status_line_wait(settings.catalog_directory))) {
    if (stop_flag == 1) run_report.stopped = true;
    return engine_failed;
  }
  run_report.repaired = writer.repaired();

  const Search search = find_volume(settings, &label);
  if (search == Search::unreadable) return engine_cannot_create;
  const bool found = search == Search::found;
  switch (decide(settings, front, found)) {
  case Decision::return_ok: return engine_ok;
  case Decision::refuse_found: return engine_failed;
  case Decision::already_known: return engine_already_known;
  case Decision::write: break;
  }
  // Option S adds the volume again at the end of the sequence.
  if (found && settings.option_s) {
    next_volume_file(settings.volume_cursor);
    if (find_volume(settings, nullptr) == Search::unreadable) return engine_cannot_create;
  }
  const bool replace = found && !settings.option_s;
  const int written =
      write_volume(writer, settings.catalog_directory, settings.volume_cursor, replace, label, settings.drive_index);
  // The add has read every name already, but the volume file is read back once
  // (from the page cache): the index sees exactly the bytes a search will.
  if (written == engine_ok && front.index == IndexUse::automatic)
    index_added_volume(settings.catalog_directory, writer.volumes(), volume_number_of(settings.volume_cursor));
  return written;
}

} // namespace shelvo
