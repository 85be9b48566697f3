#include "engine/volume_sequence.h"

#include "catalog/catalog_store.h"
#include "results/run_state.h"

#include <cerrno>

namespace shelvo {

std::string shown_label(std::string_view label_bytes) {
  return std::string(up_to_nul(label_bytes));
}

bool passes_volume_masks(const RunSettings& settings, std::string_view label) {
  return settings.volume_masks.empty() || match_mask_list(settings.volume_masks, label);
}

File open_volume_file(const RunSettings& settings) {
  File file = File::open(settings.volume_cursor, "rb");
  if (!file && file.error() != ENOENT) {
    run_report.cut_short = "cannot read the volume file " + settings.volume_cursor + ": " + error_text(file.error());
    if (run_report.warning.empty()) run_report.warning = run_report.cut_short + "; the volumes after it were not read";
  }
  return file;
}

bool advance_volume_file(RunSettings& settings) {
  next_volume_file(settings.volume_cursor);
  ++counters.volume_number;
  // After 99999999.KTL the digits carry round to 00000000.KTL; walking on would
  // read the catalog again and again.
  return volume_number_of(settings.volume_cursor) != 0;
}

} // namespace shelvo
