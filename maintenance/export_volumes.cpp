#include "maintenance/export_volumes.h"

#include <cerrno>

#include "catalog/catalog_read_lock.h"
#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "maintenance/delete_volume.h"
#include "maintenance/import_catalog.h"
#include "maintenance/volume_copy.h"
#include "platform/file_access.h"
#include "results/run_state.h"

namespace shelvo {

const std::string_view wrong_moment_message =
    "You must have some volume in the view before doing it...\n\nTo do it:\n\n - Click 'List Volume in Base'.\n"
    " - Choose a VolumeMask.\n - Then press 'Go !'.\n - And Re-choose this menu.";

std::string export_end_message(int exported, std::string_view current, std::string_view target) {
  return std::to_string(exported) + " file(s) were exported from '" + std::string(current) + "' to '" +
         std::string(target) + "'.";
}

std::string replace_target_question(std::string_view target, long held, long exported) {
  std::string text = std::string(target) + " already holds " + std::to_string(held) +
                     " volume files; replace them?";
  if (exported < held)
    text += "\n\nThe export writes " + std::to_string(exported) + " of them (" + volume_file_name(0) +
            (exported > 1 ? " to " + volume_file_name(exported - 1) : std::string()) + "); the files numbered " +
            std::to_string(exported) + " and above stay as they are.";
  return text;
}

int export_volumes(std::string_view current, std::string_view target, const std::vector<ListedVolume>& volumes,
                   DialogService& dialogs) {
  // Into the current catalog itself, the copies would overwrite the volumes
  // they are read from.
  if (same_directory(current, target)) {
    dialogs.show_message(same_catalog_message(current, target), "Shelvo", DialogButtons::ok, DialogIcon::warning);
    return 0;
  }
  // The user named this directory: it is made when missing, and only its last
  // level, so that a mistyped parent is not made too.
  if (!directory_exists(target)) {
    if (!create_directory(target)) {
      tell_failure(dialogs, "cannot create the directory " + std::string(target) + ": " + error_text(errno));
      return 0;
    }
    // On the disk, in its parent, before anything goes in.
    if (!sync_new_directory(target)) {
      tell_failure(dialogs, "cannot flush the new directory " + std::string(target) + " to the disk: " +
                                error_text(errno));
      return 0;
    }
    dialogs.show_message("The directory " + std::string(target) + " did not exist: it was created.", "Shelvo",
                         DialogButtons::ok, DialogIcon::information);
  }
  CatalogWriter catalog(target);
  CatalogReadLock read;
  if (!lock_catalogs_for_copy(catalog, read, current, dialogs)) return 0;
  VolumeDirectory& from = read.volumes();

  if (const long held = catalog.volumes().count(); held > 0) {
    const std::string question = replace_target_question(target, held, static_cast<long>(volumes.size()));
    if (dialogs.show_message(question, "Confirmation", DialogButtons::yes_no_default_no, DialogIcon::warning) !=
        DialogAnswer::yes) {
      dialogs.show_message("Nothing was exported.", "Shelvo", DialogButtons::ok, DialogIcon::none);
      return 0;
    }
  }

  int exported = 0;
  bool failed = false;
  std::string failure;
  int error = 0;
  for (const ListedVolume& volume : volumes) {
    if (stop_flag == 1) {
      tell_failure(dialogs, "stopped: " + std::to_string(volumes.size() - static_cast<std::size_t>(exported)) +
                                " volume(s) were not exported");
      failed = true;
      break;
    }
    const std::string source = from.path_of(volume.number);
    // Numbers move when a volume is deleted: the listing may be older than the catalog.
    File listed = from.open(volume.number);
    const std::optional<std::string> now = listed_text_of(listed);
    listed.close();
    if (now && *now != volume.text) {
      tell_failure(dialogs, "the volume file " + source + " holds [" + shown_in_message(*now) + "], not [" +
                                shown_in_message(volume.text) +
                                "]: the catalog has changed since it was listed. It was not exported; list it again.");
      failed = true;
      continue;
    }
    const int code = copy_volume_file(catalog, exported, from, volume.number, true, failure, &error);
    if (code == copy_done) {
      ++exported; // a failed copy takes no number: no gap
      continue;
    }
    failed = true;
    // The source fills the message's first and third places and the target its
    // second: the reverse of the import's order (target first), though the text
    // is the same. The export's box is defined so, and the window and the
    // command line show it alike; the line after it in parentheses says plainly
    // what failed.
    tell_failure(dialogs, copy_failure_message(code, source, catalog.volumes().path_of(exported)) + "\n\n(" + failure +
                              ")");
    // A directory that takes no new file, or has no room left, takes none for
    // the next volume either.
    if (code == copy_target_not_created || no_room_left(error)) break;
  }
  // What went over is counted only once it is on the disk.
  if (!catalog.commit(failure)) {
    tell_failure(dialogs, failure);
    failed = true;
  }
  dialogs.show_message(export_end_message(exported, current, target), exported > 0 ? "GOOD Job" : "BAD Job",
                       DialogButtons::ok, DialogIcon::none);
  return failed ? -1 : 1;
}

} // namespace shelvo
