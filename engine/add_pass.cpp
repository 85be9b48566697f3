#include "engine/add_pass.h"

#include "catalog/catalog_store.h"
#include "engine/engine_main.h"
#include "platform/drive_table.h"
#include "platform/file_access.h"
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

// Walks volume files from settings.volume_file while they exist; stops on the first
// whose label equals label (found) or on the first missing number.
bool find_volume(RunSettings& settings, const std::string& label) {
  for (;;) {
    File file = File::open(settings.volume_file, "rb");
    if (!file) return false;
    if (read_volume_header(file).label == label) return true;
    next_volume_file(settings.volume_file);
  }
}

void skip_to_end_of_catalog(RunSettings& settings) {
  while (file_exists(settings.volume_file)) next_volume_file(settings.volume_file);
}

bool confirmed(const FrontEnd& front) {
  if (!front.read_confirmation_key) return false;
  const int key = front.read_confirmation_key();
  return key == 'Y' || key == 'y' || key == 'O' || key == 'o';
}

Decision decide(RunSettings& settings, const FrontEnd& front, bool found) {
  if (settings.option_i) return Decision::return_ok;
  if (!found) return Decision::write;
  if (settings.option_s) {
    skip_to_end_of_catalog(settings);
    return Decision::write;
  }
  if (settings.option_y) return Decision::write;
  if (settings.no_overwrite) return Decision::already_known;
  return confirmed(front) ? Decision::write : Decision::refuse_found;
}

// The volume is written under a temporary name beside its final one and renamed
// only once the walk has finished and every byte is stored: a walk that fails, a
// full disk or an interrupted add never costs the catalog the volume it had.
int write_volume(const std::string& volume_file, const std::string& label, int drive_index) {
  const std::string temporary = volume_file.substr(0, volume_file.rfind('.')) + ".NEW";
  File file = File::open(temporary, "w+b");
  if (!file) return engine_cannot_create;

  bool stored = write_volume_header(file, label);
  if (stored) {
    const int previous_drive = current_drive();
    set_current_drive(drive_index);
    scan_directory("\\", file);
    set_current_drive(previous_drive);
  }
  stored = file.close() && stored;
  if (!stored || !rename_file(temporary, volume_file)) {
    delete_file(temporary);
    return engine_cannot_create;
  }
  return engine_ok;
}

} // namespace

int add_pass(RunSettings& settings, const FrontEnd& front) {
  std::string label;
  if (volume_label_of(settings.drive_index, label) != 0) return engine_failed;

  const bool found = find_volume(settings, label);
  switch (decide(settings, front, found)) {
  case Decision::return_ok: return engine_ok;
  case Decision::refuse_found: return engine_failed;
  case Decision::already_known: return engine_already_known;
  case Decision::write: break;
  }
  return write_volume(settings.volume_file, label, settings.drive_index);
}

} // namespace shelvo
