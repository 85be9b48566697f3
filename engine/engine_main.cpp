#include "engine/engine_main.h"

#include "engine/add_pass.h"
#include "engine/listing_pass.h"
#include "results/run_state.h"
#include "engine/search_pass.h"
#include "platform/file_access.h"

namespace shelvo {

namespace {

bool starts_with_drive_letter(const std::string& path) {
  return path.size() >= 2 && path[0] >= 'A' && path[0] <= 'Z' && path[1] == ':';
}

bool open_or_create_volume_file_0(const RunSettings& settings) {
  create_directory(settings.catalog_directory); // an existing directory is fine
  if (File::open(settings.volume_file, "rb")) return true;
  File created = File::open(settings.volume_file, "wb");
  return created && created.close();
}

} // namespace

bool open_catalog(RunSettings& settings) {
  // Only a location on a drive letter moves to the next letter: a native path such
  // as /home/ann/cat has no letter, and stepping its first character would create
  // directories under other names.
  while (!open_or_create_volume_file_0(settings)) {
    if (!starts_with_drive_letter(settings.volume_file) || settings.volume_file[0] >= 'Z') return false;
    ++settings.volume_file[0];
    if (starts_with_drive_letter(settings.catalog_directory)) ++settings.catalog_directory[0];
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
