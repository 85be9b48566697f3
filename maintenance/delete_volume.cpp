#include "maintenance/delete_volume.h"

#include <cerrno>

#include "catalog/catalog_store.h"
#include "engine/volume_sequence.h"
#include "maintenance/volume_copy.h"
#include "platform/file_access.h"
#include "results/status_lines.h"

namespace shelvo {

std::optional<std::string> listed_text_of(File& file) {
  if (!file) return std::nullopt;
  const VolumeHeader header = read_volume_header(file);
  if (file.failed()) return std::nullopt;
  return shown_label(header.label) + listing_version_text(header.format);
}

std::optional<std::string> listed_text_of(std::string_view volume_file) {
  File file = File::open(volume_file, "rb");
  return listed_text_of(file);
}

int delete_volume_locked(CatalogWriter& catalog, long number, std::optional<std::string_view> expected,
                         std::string& failure) {
  VolumeDirectory& volumes = catalog.volumes();
  const std::string doomed = volumes.path_of(number);
  if (!volumes.has(number)) {
    failure = "cannot delete " + doomed + ": " + error_text(ENOENT);
    return -1;
  }
  File file = volumes.open(number);
  const std::optional<std::string> now = listed_text_of(file);
  if (!now) {
    failure = "cannot delete " + doomed + ": " + error_text(file.error());
    return -1;
  }
  file.close();
  if (expected && *now != *expected) {
    failure = "the volume file " + doomed + " holds [" + shown_in_message(*now) + "], not [" +
              shown_in_message(*expected) +
              "]: the catalog has changed since it was listed. Nothing was deleted; list it again.";
    return -1;
  }
  return catalog.remove_volume(number, failure) ? 1 : -1;
}

int delete_volume(std::string_view catalog_directory, long number, std::optional<std::string_view> expected,
                  const std::function<void()>& refresh, std::string& failure, std::string* repaired) {
  {
    CatalogWriter catalog(catalog_directory);
    if (!catalog.lock(failure, status_line_wait(catalog_directory))) return -1;
    if (repaired) *repaired = catalog.repaired();
    if (delete_volume_locked(catalog, number, expected, failure) != 1) return -1;
    // Said deleted only once the moves are on the disk.
    if (!catalog.commit(failure)) return -1;
  }
  if (refresh) refresh();
  return 1;
}

} // namespace shelvo
