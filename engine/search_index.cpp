#include "engine/search_index.h"

#include <cstdio>

#include "catalog/catalog_store.h"
#include "engine/index_building.h"
#include "index/index_segment.h"
#include "index/volume_identity.h"
#include "results/run_state.h"
#include "results/status_lines.h"

namespace shelvo {

namespace {

// Reads of 64 KiB keep the pass close to the speed of the disk while the chunk
// stays in the processor's cache for the reader; the reader carries records
// across chunk ends, so the size changes nothing in the results.
constexpr std::size_t search_chunk_size = 65536;

} // namespace

SearchIndex::SearchIndex(const RunSettings& settings, const FrontEnd& front, const VolumeDirectory* volumes)
    : volumes_(volumes), buffer_(search_chunk_size) {
  if (front.index != IndexUse::automatic || !locate_index(settings.catalog_directory, cache_)) return;
  lookup_ = cache_.exists();
  build_ = volumes_ && (lookup_ || catalog_wants_index(cache_, *volumes_));
  // Only directories are hits with J; members with A (which J clears); with D
  // directories too. List content decides by the directory records before a
  // block, which a block does not carry: those searches read volumes whole.
  const bool directories = settings.option_d || settings.option_j;
  query_ = make_index_query(settings.search_masks, !settings.option_j, settings.option_a && !settings.option_j,
                            directories);
  if (settings.option_c) query_.usable = false;
}

void SearchIndex::read_volume(File& file, unsigned char format, RecordReader& reader) {
  const std::optional<FileStatus> status = lookup_ || build_ ? file.status() : std::nullopt;
  bool segment_current = false;
  if (status && lookup_) {
    if (query_.usable) {
      if (read_through_segment(file, *status, format, reader, segment_current)) return;
    } else {
      // Only whether a segment is there decides the build; one found damaged
      // by a search that reads through it is built again then.
      segment_current = build_ && host_file_status(cache_.segment_path(*status)).has_value();
    }
  }
  const bool build = build_ && !segment_current && status && worth_indexing(*status);
  reader.start_volume(format);
  read_whole(file, reader, build ? &*status : nullptr, format);
}

bool SearchIndex::read_through_segment(File& file, const FileStatus& status, unsigned char format,
                                       RecordReader& reader, bool& segment_current) {
  IndexSegment segment;
  if (!segment.open(cache_.segment_path(status), status)) return false;
  const std::optional<VolumeIdentity> identity = volume_identity_of(file);
  if (!identity || identity->sample != segment.volume_sample()) return false;
  segment_current = true;
  if (segment.linear_only()) return false;
  BlockSet blocks;
  if (!candidate_blocks(segment, query_, blocks) || !segment.runs_of(blocks, runs_)) {
    segment_current = false; // damaged: read whole, and built again
    return false;
  }
  std::uint64_t bytes = 0;
  for (const BlockRun& run : runs_) bytes += run.end - run.begin;
  if (static_cast<double>(bytes) > read_share * static_cast<double>(status.size)) return false;
  ++run_report.volumes_through_index;
  for (const BlockRun& run : runs_) {
    if (run.at_volume_start) reader.start_volume(format);
    else reader.resume_at_record(run.directory, run.begin - header_length);
    read_run(file, run, reader);
  }
  return true;
}

void SearchIndex::read_run(File& file, const BlockRun& run, RecordReader& reader) {
  std::uint64_t at = run.begin;
  while (at < run.end) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), run.end - at));
    const std::size_t n = file.read_at(at, std::span<char>(buffer_.data(), wanted));
    if (n == 0) return;
    reader.feed(std::span<const char>(buffer_.data(), n));
    at += n;
    // A skipped archive block ends inside the run, as the run ends at a record.
    if (const std::uint64_t skip = std::min(reader.pending_skip(), run.end - at); skip > 0) {
      reader.skipped(skip);
      at += skip;
    }
  }
}

void SearchIndex::read_whole(File& file, RecordReader& reader, const FileStatus* build_for, unsigned char format) {
  std::optional<SegmentBuild> build;
  if (build_for) {
    if (!builder_) builder_.emplace(IndexPolicy::block_bytes);
    build.emplace(*builder_, cache_);
    build->start(*build_for, format);
  }
  // The first read ends on a multiple of the chunk size: after the 16 header
  // bytes every full-size read would otherwise end a few bytes into the stream's
  // own buffer, costing a second system call and a copy each time.
  const std::int64_t at = file.tell();
  std::size_t size = buffer_.size() - (at > 0 ? static_cast<std::size_t>(at) % buffer_.size() : 0);
  std::uint64_t read = 0, next_look = IndexPolicy::progress_bytes;
  for (;;) {
    const std::size_t n = file.read(std::span<char>(buffer_.data(), size));
    size = buffer_.size();
    if (n == 0) break;
    const std::span<const char> bytes(buffer_.data(), n);
    reader.feed(bytes);
    if (build) {
      // Every byte goes to the builder, so skipped archive blocks are read too;
      // the status line and Stop are looked at now and then, and a Stop gives up
      // the build, not the volume.
      build->feed(bytes);
      read += n;
      if (read >= next_look) {
        next_look += IndexPolicy::progress_bytes;
        show_search_status();
        if (stop_flag == 1) build.reset();
      }
    } else if (const std::uint64_t skip = reader.pending_skip(); skip > 0) {
      if (!file.seek(static_cast<std::int64_t>(skip), SEEK_CUR)) return;
      reader.skipped(skip);
    }
  }
  if (!build || file.failed()) return;
  if (!build->store(file)) build_ = false;
  built_any_ = true;
}

void SearchIndex::finish() {
  if (built_any_ && volumes_) prune_index(cache_, *volumes_);
}

} // namespace shelvo
