#include "engine/engine_main.h"

#include "engine/add_pass.h"
#include "engine/listing_pass.h"
#include "results/run_state.h"
#include "engine/search_pass.h"
#include "platform/file_access.h"

#include <cerrno>

namespace shelvo {

namespace {

bool starts_with_drive_letter(const std::string& path) {
  return path.size() >= 2 && path[0] >= 'A' && path[0] <= 'Z' && path[1] == ':';
}

// True when the location is on the drive this call adds, in either case of its letter.
bool on_added_drive(const RunSettings& settings) {
  const std::string& path = settings.volume_file;
  if (!settings.drive_given || path.size() < 2 || path[1] != ':') return false;
  const char letter = (path[0] >= 'a' && path[0] <= 'z') ? static_cast<char>(path[0] - 'a' + 'A') : path[0];
  return letter - 'A' == settings.drive_index;
}

// Opens volume file 0, or creates it empty when it does not exist. An existing
// file that cannot be read is never replaced: it may hold a volume. On failure,
// why is set to the path and the system's reason.
bool open_or_create_volume_file_0(const RunSettings& settings, std::string& why) {
  create_directory(settings.catalog_directory); // an existing directory is fine
  for (int attempt = 0; attempt < 2; ++attempt) {
    File existing = File::open(settings.volume_file, "rb");
    if (existing) return true;
    if (existing.error() != ENOENT) {
      why = settings.volume_file + ": " + error_text(existing.error());
      return false;
    }
    File created = File::create_new(settings.volume_file);
    if (created && created.close()) {
      run_report.catalog_created = true;
      return true;
    }
    // Another program may have created it in between: read it then.
    if (created.error() != EEXIST) {
      why = settings.volume_file + ": " + error_text(created.error());
      return false;
    }
  }
  why = settings.volume_file + ": " + error_text(EEXIST);
  return false;
}

} // namespace

bool open_catalog(RunSettings& settings) {
  const std::string asked = settings.catalog_directory;
  std::string first_failure;
  for (;;) {
    std::string why;
    // A catalog inside the volume being added would be recorded in it, and the
    // volume would no longer be what the disk holds.
    if (on_added_drive(settings)) why = settings.catalog_directory + " is on the drive being added";
    else if (open_or_create_volume_file_0(settings, why)) break;
    if (first_failure.empty()) first_failure = why;
    // Only a location on a drive letter moves to the next letter: a native path
    // such as /home/ann/cat has no letter, and stepping its first character
    // would create directories under other names.
    if (!starts_with_drive_letter(settings.volume_file) || settings.volume_file[0] >= 'Z') {
      run_report.failure = "cannot open or create the catalog: " + first_failure;
      return false;
    }
    ++settings.volume_file[0];
    if (starts_with_drive_letter(settings.catalog_directory)) ++settings.catalog_directory[0];
  }
  run_report.catalog_directory = settings.catalog_directory;
  if (settings.catalog_directory != asked) {
    run_report.catalog_moved = true;
    run_report.move_reason = first_failure;
  }
  return true;
}

int engine_main(int count, const ArgumentVector& vector, const FrontEnd& front) {
  reset_counters();
  RunSettings settings;
  classify_elements(count, vector, settings);

  if (!open_catalog(settings)) return engine_failed;
  if (count < 2) return engine_catalog_only;

  const std::string volume_file_0 = settings.volume_file;
  if (settings.drive_given) {
    const int added = add_pass(settings, front);
    if (added != engine_ok || settings.option_i) return added;
    // A search in the same call reads the catalog from its first file, so the
    // volume numbers it shows name the right files.
    settings.volume_file = volume_file_0;
  }
  if (!settings.search_masks.empty()) search_pass(settings, front);
  else if (settings.option_w && !settings.drive_given) listing_pass(settings, front);
  return engine_ok;
}

} // namespace shelvo
