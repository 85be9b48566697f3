#include "cli/mounted_volumes.h"

#include "catalog/catalog_store.h"
#include "engine/add_pass.h"
#include "platform/drive_table.h"

namespace shelvo {

std::vector<std::string> MountedVolumes::roots_of(std::string_view label) {
  if (!read_) {
    read_ = true;
    for (const Drive& drive : drive_table().drives()) {
      std::string drive_label;
      if (volume_label_of(drive.letter - 'A', drive_label) == 0)
        drives_.emplace_back(label_without_padding(drive_label), drive.directory);
    }
  }
  std::vector<std::string> roots;
  const std::string_view wanted = label_without_padding(label);
  for (const auto& [drive_label, directory] : drives_)
    if (drive_label == wanted) roots.push_back(directory);
  return roots;
}

} // namespace shelvo
