#include "engine/search_pass.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "catalog/record_reader.h"
#include "results/run_state.h"
#include "catalog/search_mask.h"
#include "engine/search_index.h"
#include "engine/volume_sequence.h"
#include "platform/file_access.h"
#include "results/status_lines.h"

namespace shelvo {

namespace {

// The 9 tail bytes: size big-endian, then DOS date and time, then the end byte.
// Bit 31 of the size is never set by a writer; a damaged record that has it would
// show a negative size, which no column can hold.
struct DecodedTail {
  std::int32_t size = 0;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
};

DecodedTail decode_tail(RecordTail t) {
  DecodedTail d;
  d.size = static_cast<std::int32_t>(static_cast<std::uint32_t>(t[0] & 0x7F) << 24 |
                                     static_cast<std::uint32_t>(t[1]) << 16 |
                                     static_cast<std::uint32_t>(t[2]) << 8 | static_cast<std::uint32_t>(t[3]));
  d.date = static_cast<std::uint16_t>(t[4] << 8 | t[5]);
  d.time = static_cast<std::uint16_t>(t[6] << 8 | t[7]);
  return d;
}

// Decides the hits of one volume and hands them to the tree and the counters.
// The reader's filters let through only what is a hit, except the directory
// records that list content needs to see; counting only, the reader counts the
// hits itself and the counters take them when the volume ends.
class SearchHandler final : public RecordHandler {
public:
  SearchHandler(const RunSettings& settings, const CompiledMaskList& masks, ResultSink* sink)
      : settings_(settings), masks_(masks), sink_(sink), no_names_(MaskList(0)) {
    // List content decides on every directory record, else only a matching
    // directory (with D) is reported.
    if (!settings_.option_c) directory_filter = settings_.option_d ? &masks_ : &no_names_;
    if (!sink_) tally = &tally_;
  }

  void start_volume(std::string_view label) {
    label_ = label;
    volume_shown_ = false;
    matched_ = false;
    child_ = false;
    tally_ = RecordTally();
    update_name_filter();
  }

  // Adds what the reader counted in the volume to the counters.
  void finish_volume() {
    const std::uint64_t hits = tally_.files + tally_.members;
    if (hits == 0 && tally_.directories == 0) return;
    open_volume_node();
    counters.found_files += static_cast<std::int32_t>(hits);
    counters.found_bytes += static_cast<double>(tally_.file_bytes + tally_.member_bytes);
    counters.found_members += static_cast<std::int32_t>(tally_.members);
    counters.found_member_bytes += static_cast<double>(tally_.member_bytes);
    counters.found_dirs += static_cast<std::int32_t>(tally_.directories);
  }

  void directory_record(std::string_view path) override {
    if (!settings_.option_c) { // the filter let through a matching directory
      report_directory(path);
      return;
    }
    const bool leaf_hit = masks_.matches(path.substr(leaf_of(path)));
    // List content: a matching directory makes its files hits; the directory
    // record right after it is reported when its parent's name matches.
    child_ = false;
    if (leaf_hit) {
      matched_ = true;
    } else if (matched_) {
      child_ = masks_.matches(parent_leaf_of(path));
      matched_ = false;
    }
    update_name_filter();
    if (settings_.option_d && (leaf_hit || matched_ || child_)) report_directory(path);
  }

  // Every name reported is a hit: the filter let it through, or it is in a
  // directory whose content is listed.
  void file_record(std::string_view name, RecordTail tail, std::string_view directory, bool member) override {
    open_volume_node();
    const DecodedTail d = decode_tail(tail);
    if (sink_) sink_->add_found_file(directory, name, d.size, d.date, d.time);
    if (member) {
      ++counters.found_members;
      counters.found_member_bytes += d.size;
    }
    ++counters.found_files;
    counters.found_bytes += d.size;
  }

private:
  // Outside a listed directory only names that match can be hits (and with J
  // none), so the reader need not report the others.
  void update_name_filter() {
    if (matched_) name_filter = nullptr;
    else name_filter = settings_.option_j ? &no_names_ : &masks_;
  }

  void report_directory(std::string_view path) {
    open_volume_node();
    if (sink_) sink_->add_directory_path(path);
    ++counters.found_dirs;
  }

  void open_volume_node() {
    if (volume_shown_) return;
    volume_shown_ = true;
    if (sink_) sink_->add_volume_node(label_, counters.volume_number, VolumeNodeMode::search);
    ++counters.found_volumes;
  }

  const RunSettings& settings_;
  const CompiledMaskList& masks_;
  ResultSink* sink_;
  const CompiledMaskList no_names_; // accepts nothing
  RecordTally tally_;
  std::string label_;
  bool volume_shown_ = false;
  bool matched_ = false; // list content: the directory record just read matches
  bool child_ = false;   // list content: it follows a matching one under a matching parent
};

} // namespace

void search_pass(RunSettings& settings, const FrontEnd& front, const VolumeDirectory* volumes) {
  if (settings.option_j) settings.option_a = false;
  ResultSink* sink = settings.no_display ? nullptr : front.results;
  const CompiledMaskList masks(settings.search_masks);
  SearchHandler handler(settings, masks, sink);
  RecordReader reader(handler, settings.option_a);
  SearchIndex index(settings, front, volumes);

  for (;;) {
    File file = open_volume_file(settings);
    if (!file || stop_flag == 1) break; // a stop lets the volume under way finish
    const std::string label = shown_label(read_volume_label(file));
    // A volume left out by its label costs one open and one 15-byte read.
    if (passes_volume_masks(settings, label)) {
      ++run_report.volumes_selected;
      const int format = file.read_byte();
      handler.start_volume(label);
      index.read_volume(file, format < 0 ? 0 : static_cast<unsigned char>(format), reader);
      handler.finish_volume();
    }
    file.close();
    const bool more = advance_volume_file(settings);
    refresh_search_status();
    if (!more) break;
  }
  index.finish();
}

} // namespace shelvo
