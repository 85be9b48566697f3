#include "engine/engine_main.h"

#include "catalog/catalog_read_lock.h"
#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "engine/add_pass.h"
#include "engine/index_pass.h"
#include "engine/listing_pass.h"
#include "engine/search_pass.h"
#include "platform/ascii_case.h"
#include "platform/drive_discovery.h"
#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "results/run_state.h"
#include "results/status_lines.h"

#include <cerrno>

namespace shelvo {

namespace {

bool starts_with_drive_letter(const std::string& path) {
  return path.size() >= 2 && path[0] >= 'A' && path[0] <= 'Z' && path[1] == ':';
}

// True when the catalog would be on the drive this call adds: named by its
// letter (in either case), or the drive's own directory or one above it. A
// catalog that only lies deeper in the drive's directory, on a drive of its own
// (the home directory holds C:), is used there: the walk leaves it out.
bool on_added_drive(const RunSettings& settings) {
  if (!settings.drive_given) return false;
  const std::string& path = settings.volume_cursor;
  if (path.size() >= 2 && path[1] == ':' && ascii_upper(path[0]) - 'A' == settings.drive_index) return true;
  const Drive* drive = drive_table().find(static_cast<char>('A' + settings.drive_index));
  const auto host = resolve_dos_path(settings.catalog_directory);
  if (!drive || !host) return false;
  const auto catalog = host_real_path(*host);
  const auto root = host_real_path(drive->directory);
  return catalog && root && path_is_under(*root, *catalog);
}

// The catalog where settings name it: volume file 0 opened, or, when the
// directory holds none and creating is allowed, created empty (the directory
// too, its last level only). An existing file that cannot be read is never
// replaced: it may hold a volume. On failure, why is set to the path and the
// system's reason.
bool open_here(const RunSettings& settings, bool may_create, std::string& why) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    File existing = File::open(settings.volume_cursor, "rb");
    if (existing) return true;
    if (existing.error() != ENOENT) {
      why = settings.volume_cursor + ": " + error_text(existing.error());
      return false;
    }
    if (!may_create) {
      // Every catalog holds volume file 0 from its first opening on. A
      // directory without it is none, and a change asked of it (an import into
      // it, an export from it) would make one where the user never meant to.
      why = "no catalog at " + settings.catalog_directory;
      if (directory_exists(settings.catalog_directory)) why += ": it holds no " + volume_file_name(0);
      return false;
    }
    const bool made = create_directory(settings.catalog_directory); // an existing directory is fine
    File created = File::create_new(settings.volume_cursor);
    if (created && created.close()) {
      // The new catalog is on the disk before anything is said of it or added
      // to it: its file 0 in its directory, and a new directory in its parent.
      const bool synced =
          made ? sync_new_directory(settings.catalog_directory) : sync_directory(settings.catalog_directory);
      if (!synced) {
        why = "cannot flush the new catalog " + settings.catalog_directory + " to the disk: " + error_text(errno);
        return false;
      }
      run_report.catalog_created = true;
      return true;
    }
    // Another program may have created it in between: read it then.
    if (created.error() != EEXIST) {
      why = settings.volume_cursor + ": " + error_text(created.error());
      return false;
    }
  }
  why = settings.volume_cursor + ": " + error_text(EEXIST);
  return false;
}

// Moves both paths of settings to the next drive letter.
void next_letter(RunSettings& settings) {
  ++settings.volume_cursor[0];
  if (starts_with_drive_letter(settings.catalog_directory)) ++settings.catalog_directory[0];
}

// Takes the catalog's shared lock for a search or a listing, waiting, with a
// word on the status line, while another program changes the catalog; a Stop
// ends the wait (and the run). A search or a listing waits as long as the
// change takes; the listing that begins a change waits as a writer does, then
// refuses as one. What a stopped writer left is put right first.
bool lock_for_reading(CatalogReadLock& lock, const RunSettings& settings, const FrontEnd& front) {
  const CatalogWait wait = status_line_wait(settings.catalog_directory);
  const auto on_wait = [&] { wait.on_wait(CatalogHolder::writer); };
  const std::chrono::milliseconds patience =
      front.waits_as_writer ? CatalogWriter::lock_wait : std::chrono::hours(24 * 365);
  const CatalogReadLock::Outcome got =
      lock.acquire(settings.catalog_directory, patience, on_wait, wait.keep_waiting, run_report.failure);
  run_report.repaired = lock.repaired();
  run_report.warning = lock.warning();
  if (got == CatalogReadLock::Outcome::stopped) {
    if (stop_flag == 1) run_report.stopped = true;
    else run_report.failure = catalog_busy_refusal(settings.catalog_directory, CatalogHolder::writer);
  }
  return got == CatalogReadLock::Outcome::held;
}

} // namespace

bool open_catalog(RunSettings& settings, bool may_create) {
  std::string why;
  // A catalog on the drive being added would be written into the volume while
  // it is recorded: Shelvo never writes into a catalogued volume.
  if (on_added_drive(settings)) why = settings.catalog_directory + " is inside the drive being added";
  else if (open_here(settings, may_create, why)) {
    run_report.catalog_directory = settings.catalog_directory;
    return true;
  }
  // A catalog on a removable disk whose letter changed is found on a following
  // letter, and used there. Nothing is ever created on another letter than the
  // one asked for: that would write into a disk that was never meant to hold a
  // catalog. A native path such as /home/ann/cat has no letter to step.
  if (starts_with_drive_letter(settings.volume_cursor)) {
    RunSettings other = settings;
    while (other.volume_cursor[0] < 'Z') {
      next_letter(other);
      if (on_added_drive(other)) continue;
      if (File::open(other.volume_cursor, "rb")) {
        settings.volume_cursor = other.volume_cursor;
        settings.catalog_directory = other.catalog_directory;
        run_report.catalog_directory = settings.catalog_directory;
        run_report.catalog_moved = true;
        run_report.move_reason = why;
        return true;
      }
    }
  }
  run_report.failure = may_create ? "cannot open or create the catalog: " + why : why;
  return false;
}

int engine_main(int count, const ArgumentVector& vector, const FrontEnd& front) {
  reset_counters();
  RunSettings settings;
  classify_elements(count, vector, settings, front.masks_from);

  if (!open_catalog(settings, front.create_missing_catalog)) return engine_failed;
  if (front.index == IndexUse::build) { // the index made current, and nothing else
    CatalogReadLock lock;
    if (!lock_for_reading(lock, settings, front)) return stop_flag == 1 ? engine_ok : engine_failed;
    return index_pass(settings, lock.volumes());
  }
  if (count < 2) return engine_catalog_only;

  const std::string volume_file_0 = settings.volume_cursor;
  if (settings.drive_given) {
    const int added = add_pass(settings, front);
    if (added != engine_ok || settings.option_i) return added;
    // A search in the same call reads the catalog from its first file, so the
    // volume numbers it shows name the right files.
    settings.volume_cursor = volume_file_0;
  }
  const bool searches = !settings.search_masks.empty();
  if (!searches && !(settings.option_w && !settings.drive_given)) return engine_ok;
  CatalogReadLock lock;
  if (!lock_for_reading(lock, settings, front)) return stop_flag == 1 ? engine_ok : engine_failed;
  if (searches) search_pass(settings, front, &lock.volumes());
  else listing_pass(settings, front);
  return engine_ok;
}

} // namespace shelvo
