#include "maintenance/export_volumes.h"

#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "maintenance/import_catalog.h"
#include "maintenance/volume_copy.h"
#include "platform/file_access.h"

namespace shelvo {

const std::string_view wrong_moment_message =
    "You must have some volume in the view before doing it...\n\nTo do it:\n\n - Click 'List Volume in Base'.\n"
    " - Choose a VolumeMask.\n - Then press 'Go !'.\n - And Re-choose this menu.";

std::string export_end_message(int exported, std::string_view current, std::string_view target) {
  return std::to_string(exported) + " file(s) were exported from '" + std::string(current) + "' to '" +
         std::string(target) + "'.";
}

int export_volumes(std::string_view current, std::string_view target, const std::vector<int>& volume_numbers,
                   DialogService& dialogs) {
  // Into the current catalog itself, the copies would overwrite the volumes
  // they are read from.
  if (same_directory(current, target)) {
    dialogs.show_message(same_catalog_message(current, target), "Shelvo", DialogButtons::ok, DialogIcon::warning);
    return 0;
  }
  CatalogWriter catalog(target);
  std::string failure;
  if (!catalog.lock(failure)) {
    dialogs.show_message(failure, "Failure", DialogButtons::ok, DialogIcon::error);
    return 0;
  }
  int exported = 0;
  for (const int number : volume_numbers) {
    const std::string source = volume_file_path(current, number);
    const std::string destination = volume_file_path(target, exported);
    // Files already in the target under these numbers are overwritten, as an
    // export always did.
    const int code = copy_volume_file(catalog, destination, source, true, failure);
    if (code == copy_done) ++exported; // a failed copy takes no number: no gap
    else dialogs.show_message(copy_failure_message(code, source, destination) + "\n\n(" + failure + ")", "Failure",
                              DialogButtons::ok, DialogIcon::error);
  }
  dialogs.show_message(export_end_message(exported, current, target), exported > 0 ? "GOOD Job" : "BAD Job",
                       DialogButtons::ok, DialogIcon::none);
  return 1;
}

} // namespace shelvo
