#include "engine/index_pass.h"

#include <array>
#include <cstdio>

#include "catalog/catalog_store.h"
#include "engine/engine_main.h"
#include "engine/index_building.h"
#include "index/index_segment.h"
#include "index/volume_identity.h"
#include "results/run_state.h"
#include "results/status_lines.h"
#include "results/status_view.h"

namespace shelvo {

namespace {

constexpr std::size_t index_chunk_size = 65536;

// "Indexing volume 3 of 120:   1.20 Gb read"
void show_index_status(long number, long count, std::uint64_t bytes_read) {
  StatusView* view = status_view();
  if (!view) return;
  std::array<char, 128> text{};
  std::snprintf(text.data(), text.size(), "Indexing volume %ld of %ld: %s read", number, count - 1,
                format_size(static_cast<double>(bytes_read)).c_str());
  view->set_status_caption(text.data());
  view->process_pending_events();
}

// True when the volume file's segment is current.
bool segment_current(const IndexCache& cache, File& file, const FileStatus& status) {
  IndexSegment segment;
  if (!segment.open(cache.segment_path(status), status)) return false;
  const std::optional<VolumeIdentity> identity = volume_identity_of(file);
  return identity && identity->sample == segment.volume_sample();
}

} // namespace

int index_pass(const RunSettings& settings, const VolumeDirectory& volumes) {
  IndexCache cache;
  if (!locate_index(settings.catalog_directory, cache)) {
    run_report.failure = "this user has no cache directory for the search index (set HOME or XDG_CACHE_HOME)";
    return engine_failed;
  }
  VolumeIndexBuilder builder(IndexPolicy::block_bytes);
  SegmentBuild build(builder, cache);
  std::vector<char> buffer(index_chunk_size);
  std::uint64_t read_before = 0; // bytes of the volumes read before this one
  const long count = volumes.end();
  for (long number = 0; number < count && stop_flag != 1; ++number) {
    File file = volumes.open(number);
    const std::optional<FileStatus> status = file ? file.status() : std::nullopt;
    if (!status || !worth_indexing(*status)) continue;
    if (segment_current(cache, file, *status)) {
      ++run_report.index_current;
      continue;
    }
    show_index_status(number, count, read_before);
    const VolumeHeader header = read_volume_header(file);
    build.start(*status, header.format);
    const bool whole = read_for_index(file, build, buffer, [&](std::uint64_t read) {
      show_index_status(number, count, read_before + read);
      return stop_flag != 1;
    });
    read_before += status->size;
    if (whole && !build.store(file)) {
      run_report.failure = run_report.index_warning;
      return engine_failed;
    }
  }
  if (stop_flag == 1) run_report.stopped = true;
  prune_index(cache, volumes);
  return engine_ok;
}

void index_added_volume(const std::string& catalog_directory, const VolumeDirectory& volumes, long number) {
  IndexCache cache;
  if (!locate_index(catalog_directory, cache) || !catalog_wants_index(cache, volumes)) return;
  File file = volumes.open(number);
  const std::optional<FileStatus> status = file ? file.status() : std::nullopt;
  if (status && worth_indexing(*status)) {
    VolumeIndexBuilder builder(IndexPolicy::block_bytes);
    SegmentBuild build(builder, cache);
    const VolumeHeader header = read_volume_header(file);
    build.start(*status, header.format);
    std::vector<char> buffer(index_chunk_size);
    if (read_for_index(file, build, buffer, [](std::uint64_t) { return stop_flag != 1; }) && !build.store(file)) return;
  }
  prune_index(cache, volumes);
}

} // namespace shelvo
