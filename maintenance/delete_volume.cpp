#include "maintenance/delete_volume.h"

#include <cerrno>

#include "catalog/catalog_store.h"
#include "engine/search_volume.h"
#include "platform/file_access.h"

namespace shelvo {

std::optional<std::string> listed_text_of(std::string_view volume_file) {
  File file = File::open(volume_file, "rb");
  if (!file) return std::nullopt;
  const VolumeHeader header = read_volume_header(file);
  if (file.failed()) return std::nullopt;
  return shown_label(header.label) + listing_version_text(header.format);
}

int delete_volume_locked(CatalogWriter& catalog, std::string_view catalog_directory, int number,
                         std::optional<std::string_view> expected, std::string& failure) {
  const std::string doomed = volume_file_path(catalog_directory, number);
  File file = File::open(doomed, "rb");
  const VolumeHeader header = read_volume_header(file);
  if (!file || file.failed()) {
    failure = "cannot delete " + doomed + ": " + error_text(file.error());
    return -1;
  }
  file.close();
  const std::string now = shown_label(header.label) + listing_version_text(header.format);
  if (expected && now != *expected) {
    failure = "the volume file " + doomed + " holds [" + now + "], not [" + std::string(*expected) +
              "]: the catalog has changed since it was listed. Nothing was deleted; list it again.";
    return -1;
  }
  // The volume steps aside first, so that a move that fails can be undone.
  std::string aside;
  if (!catalog.set_aside(doomed, aside, failure)) return -1;

  int moved_up_to = number; // files number+1 .. moved_up_to have moved down by one
  for (int k = number + 1;; ++k) {
    const std::string from = volume_file_path(catalog_directory, k);
    if (!path_exists(from)) break;
    if (!rename_without_replacing(from, volume_file_path(catalog_directory, k - 1))) {
      failure = "cannot move " + from + ": " + error_text(errno) + "; the catalog was put back as it was";
      for (int j = moved_up_to; j > number; --j)
        rename_without_replacing(volume_file_path(catalog_directory, j - 1), volume_file_path(catalog_directory, j));
      rename_without_replacing(aside, doomed);
      return -1;
    }
    moved_up_to = k;
  }
  catalog.discard_aside(aside);
  return 1;
}

int delete_volume(std::string_view catalog_directory, int number, std::optional<std::string_view> expected,
                  const std::function<void()>& refresh, std::string& failure) {
  {
    CatalogWriter catalog(catalog_directory);
    if (!catalog.lock(failure)) return -1;
    if (delete_volume_locked(catalog, catalog_directory, number, expected, failure) != 1) return -1;
  }
  if (refresh) refresh();
  return 1;
}

} // namespace shelvo
