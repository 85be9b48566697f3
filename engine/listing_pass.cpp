#include "engine/listing_pass.h"

#include "catalog/catalog_store.h"
#include "results/run_state.h"
#include "engine/volume_sequence.h"
#include "platform/file_access.h"
#include "results/status_lines.h"

namespace shelvo {

void listing_pass(RunSettings& settings, const FrontEnd& front) {
  counters.listed_volumes = 0;
  // "Only totals" counts the volumes without a node for any of them.
  ResultSink* sink = front.only_total ? nullptr : front.results;
  for (;;) {
    File file = open_volume_file(settings);
    if (!file) return;
    const VolumeHeader header = read_volume_header(file);
    file.close();
    const std::string label = shown_label(header.label);
    if (passes_volume_masks(settings, label)) {
      ++run_report.volumes_selected;
      if (sink) sink->add_volume_node(label, counters.volume_number, VolumeNodeMode::listing);
      ++counters.listed_volumes;
      // The compact listing leaves the format version out.
      if (sink && !settings.option_w5)
        sink->append_volume_version(version_marker(header.format), version_number(header.format));
    }
    const bool more = advance_volume_file(settings);
    // The compact listing redraws the count only when a node is added.
    if (!settings.option_w5) show_volume_count();
    if (!more) return;
  }
}

} // namespace shelvo
