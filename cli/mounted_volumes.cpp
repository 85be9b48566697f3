#include "cli/mounted_volumes.h"

#include "engine/add_pass.h"
#include "platform/drive_table.h"

namespace shelvo {

namespace {

std::string_view without_padding(std::string_view label) {
  label = label.substr(0, label.find('\0'));
  return label.substr(0, label.find_last_not_of(' ') + 1); // npos + 1 == 0: all blanks
}

} // namespace

std::vector<std::string> MountedVolumes::roots_of(std::string_view label) {
  if (!read_) {
    read_ = true;
    for (const Drive& drive : drive_table().drives()) {
      std::string drive_label;
      if (volume_label_of(drive.letter - 'A', drive_label) == 0)
        drives_.emplace_back(without_padding(drive_label), drive.directory);
    }
  }
  std::vector<std::string> roots;
  const std::string_view wanted = without_padding(label);
  for (const auto& [drive_label, directory] : drives_)
    if (drive_label == wanted) roots.push_back(directory);
  return roots;
}

} // namespace shelvo
